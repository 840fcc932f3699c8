// Names the naming rule must accept, and names it must report: every line whose declaration
// breaks the rule ends in a comment "reported". scripts/tests/check-naming-rule compares.

#include <cstdint>

#define SAMPLE_LIMIT 4
#define sample_bad_macro 5  // reported

extern "C" {
// Exports keep the names of the binary interface.
int OpenUSBPort(void);
int SetScanDPI(int linesPerMm, int save);
int Bitmap_Init(void* bitmap);
int uRead(int handle, int pipe, unsigned char* buffer, int count);
int sample_export_c(int bad_param);  // reported
}

namespace sample {

constexpr int kMaxScanWidthMm = 216;
constexpr int maxLengthMm = 297;  // reported
const char* const kNames[] = {"a", "b"};

enum Plain { kFirst, kSecond, Third };         // reported
enum class Phase { Idle, Moving, kScanning };  // reported

struct DeviceStatus {
    std::int32_t headHot;
    std::int32_t statusBit3_4;
    std::int32_t scan_lines;  // reported
};

struct LinkEntries {
    int (*OpenDevice)(void);
    int (*uWrite)(int, int, const unsigned char*, int);
    int (*read_picture)(void);  // reported
};

class Journal {
public:
    void note_concurrency(int inFlight);
    int maxConcurrency() const;  // reported
    static constexpr int kMaxEntries = 64;

protected:
    int workDir = 0;

private:
    int maxConcurrency_ = 0;
    int records = 0;  // reported
};

// A base class of another library (GoogleTest's, Qt's) names its virtuals its own way; only
// its overrides appear in the tree, and overrides are never reported.
class Base {
public:
    virtual ~Base() = default;
    virtual void SetUp() {}  // reported
};

class Fixture : public Base {
public:
    void SetUp() override {}
};

template <typename Pixel, int kChannels>
int sum_channels(const Pixel* pixels) {
    int total = 0;
    for (int channel = 0; channel < kChannels; ++channel) total += pixels[channel];
    return total;
}

template <int channels>  // reported
int twice() {
    return 2 * channels;
}

int send_setting(int opcode, int value) {
    static const int table[] = {1, 2};
    const int written = opcode + value + table[0];
    int line_bytes = written;  // reported
    return line_bytes;
}

// Capitalised functions are taken for C exports (and their doubles): accepted anywhere.
int SendSetting(int opcode);
void BM_StatusQuery();

using RowTable = std::uint8_t**;
using row_view = const std::uint8_t*;  // reported

}  // namespace sample
