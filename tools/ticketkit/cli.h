#pragma once
// The command line's shared vocabulary: exit codes, the failure carried up to
// main, a small option parser, JSON text and progress on a terminal.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ticketkit {

// Exit status of every subcommand.
enum ExitCode : int {
    kExitOk = 0,       // done; something was read
    kExitNothing = 1,  // ran, but nothing was found (no symbol, no ticket)
    kExitUsage = 2,    // bad arguments or an input file that cannot be used
    kExitDevice = 3,   // the device (or its library) failed
};

// A failure that ends the command: main prints "ticketkit: <message>" on
// stderr and exits with `code`.
struct Failure {
    int code;
    std::string message;
};

[[noreturn]] void fail(int code, const std::string& message);

// Options after the subcommand: "--name value", "--name=value", "-o value",
// bare flags and positional words. Each option name is declared as a flag or
// as taking a value; anything else is a usage failure naming it.
class Args {
public:
    Args(const std::vector<std::string>& words, const std::vector<std::string>& flags,
         const std::vector<std::string>& valued);
    bool has(const std::string& name) const { return seen_.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
    // The value as an integer within [lo, hi]; usage failure otherwise.
    std::optional<int> integer(const std::string& name, int lo, int hi) const;
    const std::vector<std::string>& positional() const { return positional_; }

private:
    std::map<std::string, std::string> seen_;
    std::vector<std::string> positional_;
};

// `text` as a JSON string literal, quotes included (bytes >= 0x80 are kept
// when they form UTF-8, else written as \u00XX).
std::string json_string(const std::string& text);

// Elapsed-time progress on stderr while a long operation runs; silent unless
// stderr is a terminal. Stops (and clears its line) when destroyed.
class Progress {
public:
    explicit Progress(std::string what);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    // Replaces the text shown (e.g. "ticket 3: reading").
    void set(const std::string& what);
    // Writes one line to stdout without tearing the progress line.
    void say(const std::string& line);

private:
    struct State;
    State* state_;
};

}  // namespace ticketkit
