#pragma once
// The subcommands. Each takes the words after its name, returns the exit
// status and throws Failure for errors that end it.

#include <string>
#include <vector>

namespace ticketkit {

using Words = std::vector<std::string>;

int run_decode(const Words& words);
int run_straighten(const Words& words);
int run_info(const Words& words);

int run_status(const Words& words);
int run_scan(const Words& words);
int run_print(const Words& words);
int run_feed(const Words& words);
int run_bitmaps(const Words& words);
int run_calibrate(const Words& words);
int run_firmware(const Words& words);
int run_version(const Words& words);

int run_session(const Words& words);

// Prints `text` to stdout when the words ask for help ("--help" or "-h") and
// returns true; the subcommand then exits 0.
bool wants_help(const Words& words, const char* text);

}  // namespace ticketkit
