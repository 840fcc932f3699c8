// ticket_samples OUT_DIR: draws the sample tickets into OUT_DIR/tickets, the
// format files FormatFile.txt and FormatFileSP.txt into OUT_DIR, and
// OUT_DIR/expected.tsv (file, kind, lines per mm, expected texts separated by
// '|'), which the build uses to know the samples are up to date.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

#include "sample_tickets.h"

namespace {

bool write_text(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ticket_samples OUT_DIR\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path out = argv[1];
    try {
        fs::create_directories(out / "tickets");
        std::string manifest;
        for (const samples::SampleTicket& t : samples::draw_sample_tickets()) {
            const fs::path file = out / "tickets" / t.file;
            if (!samples::write_grey_bmp(t.picture, file.string())) {
                std::fprintf(stderr, "ticket_samples: cannot write %s\n", file.c_str());
                return 1;
            }
            manifest += t.file + "\t" + t.kind + "\t" + std::to_string(t.linesPerMm) + "\t";
            for (std::size_t i = 0; i < t.expected.size(); ++i) manifest += (i ? "|" : "") + t.expected[i];
            manifest += "\n";
        }
        if (!write_text(out / "FormatFile.txt", samples::handwritten_format_text()) ||
            !write_text(out / "FormatFileSP.txt", samples::printed_format_text()) ||
            !write_text(out / "expected.tsv", manifest)) {
            std::fprintf(stderr, "ticket_samples: cannot write into %s\n", out.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ticket_samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
