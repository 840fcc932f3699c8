// `ticketkit decode`, `info` and `straighten` run as a user runs them. The
// stand-in dispatcher reports the picture it was handed, so these tests see
// the 1-bit rows the command line built from each kind of file.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using Outcome = tktest::Outcome;

class DecodeCommand : public ::testing::Test {
protected:
    void SetUp() override { dir = tktest::temp_folder("decode"); }
    void TearDown() override { fs::remove_all(dir); }

    Outcome run(const std::vector<std::string>& args) { return tktest::ticketkit(args, dir); }

    // A 50 x 30 white picture with a black 2 x 2 square at (13, 7), written by ImageMagick.
    std::string picture(const std::string& name, const std::string& options) {
        const std::string cmd = "convert -size 50x30 xc:white -fill black -draw 'rectangle 13,7 14,8' " +
                                options + dir + "/" + name + " 2>/dev/null";
        EXPECT_TRUE(tktest::shell(cmd)) << cmd;
        return name;
    }

    std::string dir;
};

TEST_F(DecodeCommand, PicturesOfEveryDepthReachTheDispatcherAsTopFirstBitRows) {
    const std::pair<const char*, const char*> files[] = {
        {"mono.bmp", "-monochrome BMP3:"},
        {"grey.bmp", "-colorspace gray -type grayscale BMP3:"},
        {"palette.bmp", "-fill '#3050c0' -draw 'point 40,20' -type palette BMP3:"},
        {"colour.bmp", "-fill '#ff8000' -draw 'point 40,20' -type truecolor BMP3:"},
        {"alpha.bmp", "-alpha on -type truecolormatte BMP:"},
        {"four.bmp", "-colors 4 -depth 4 -type palette BMP3:"},
    };
    for (const auto& [name, options] : files) {
        SCOPED_TRACE(name);
        picture(name, options);
        const Outcome r = run({"decode", name, "--kind", "barcode"});
        EXPECT_EQ(r.status, 0) << r.err;
        // Width rounded up to whole bytes; no resolution in the file: lines per mm 0 (the kind's preset).
        EXPECT_EQ(r.out, "Code 128: dark 13,7 size 56x30 lpm 0\n");
    }
}

TEST_F(DecodeCommand, LinesPerMillimetreComeFromTheOptionElseTheFile) {
    picture("scan4.bmp", "-monochrome -units PixelsPerCentimeter -density 78.75x39.38 BMP3:");
    EXPECT_NE(run({"decode", "scan4.bmp", "--kind", "marks"}).out.find("lpm 4"), std::string::npos);
    EXPECT_NE(run({"decode", "scan4.bmp", "--kind", "marks", "--lines-per-mm", "8"}).out.find("lpm 8"),
              std::string::npos);
    const Outcome wrong = run({"decode", "scan4.bmp", "--kind", "marks", "--lines-per-mm", "6"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.err.find("4 or 8"), std::string::npos);
}

TEST_F(DecodeCommand, ExitStatusTellsReadNothingFoundAndBadInputApart) {
    picture("mark.bmp", "-monochrome BMP3:");
    ASSERT_TRUE(tktest::shell("convert -size 40x20 xc:white BMP3:" + dir + "/blank.bmp"));
    std::ofstream(dir + "/notes.bmp") << "not a picture\n";

    Outcome r = run({"decode", "blank.bmp", "--kind", "barcode"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("blank.bmp: nothing read"), std::string::npos) << r.err;

    r = run({"decode", "mark.bmp", "missing.bmp", "notes.bmp", "--kind", "printed-marks"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("missing.bmp: cannot open (missing"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("notes.bmp: a text file, not a BMP"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "mark.bmp: 0002\nmark.bmp: k2 lpm 0\nmark.bmp: 13 7\n") << "the good file is still read";

    EXPECT_EQ(run({"decode", "mark.bmp"}).status, 2);                  // no kind
    EXPECT_EQ(run({"decode", "mark.bmp", "--kind", "qr"}).status, 2);  // unknown kind
    EXPECT_EQ(run({"decode", "--kind", "barcode"}).status, 2);         // no file
    EXPECT_EQ(run({"decode", "mark.bmp", "--kind", "barcode", "--x"}).status, 2);
    EXPECT_EQ(run({"frobnicate"}).status, 2);
    EXPECT_EQ(run({}).status, 2);
}

TEST_F(DecodeCommand, JsonListsEveryFileWithItsOutcome) {
    picture("mark.bmp", "-monochrome BMP3:");
    const Outcome r = run({"decode", "mark.bmp", "gone.bmp", "--kind", "barcode", "--json"});
    EXPECT_EQ(r.status, 2);
    // Checked by an independent JSON parser.
    std::ofstream(dir + "/out.json") << r.out;
    EXPECT_TRUE(tktest::shell("python3 -c \"import json,sys; d=json.load(open('" + dir +
                              "/out.json')); assert d[0]['read'] and d[0]['count']==1 and "
                              "d[0]['lines']==['Code 128: dark 13,7 size 56x30 lpm 0'], d; "
                              "assert 'missing' in d[1]['error'], d\""))
        << r.out;
}

TEST_F(DecodeCommand, EverySubcommandAnswersHelpWithSuccess) {
    for (const char* c : {"decode", "straighten", "info", "session", "status", "scan", "print", "feed",
                          "bitmaps", "calibrate", "firmware", "version"}) {
        const Outcome r = run({c, "--help"});
        EXPECT_EQ(r.status, 0) << c;
        EXPECT_EQ(r.out.rfind("usage: ticketkit " + std::string(c), 0), 0u) << c << ": " << r.out;
    }
    EXPECT_EQ(run({"--help"}).status, 0);
}

TEST_F(DecodeCommand, InfoMeasuresTheSkewAndStraightenRemovesIt) {
    const std::string skewed = std::string(SAMPLES_DIR) + "/tickets/barcode-skewed-code128.bmp";
    Outcome r = run({"info", skewed, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::ofstream(dir + "/info.json") << r.out;
    // The sample is drawn turned 4 degrees clockwise on a dark bed.
    EXPECT_TRUE(tktest::shell("python3 -c \"import json; d=json.load(open('" + dir +
                              "/info.json'))[0]; assert d['bits']==8 and d['linesPerMm']==8 and "
                              "abs(d['skewDegrees']-4.0)<0.3, d\""))
        << r.out;

    r = run({"straighten", skewed, "upright.bmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run({"info", "upright.bmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Cut out to the 80 x 90 mm paper (640 x 720 dots) give or take the edge dots.
    int w = 0, h = 0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "upright.bmp: %d x %d", &w, &h), 2) << r.out;
    EXPECT_NEAR(w, 640, 6);
    EXPECT_NEAR(h, 720, 6);

    ASSERT_TRUE(tktest::shell("convert -size 60x40 xc:white BMP3:" + dir + "/white.bmp"));
    r = run({"straighten", "white.bmp", "out.bmp"});
    EXPECT_EQ(r.status, 1) << "no paper outline on a white picture";
    EXPECT_FALSE(fs::exists(dir + "/out.bmp"));
}

}  // namespace
