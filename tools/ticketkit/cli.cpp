#include "cli.h"

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace ticketkit {

void fail(int code, const std::string& message) {
    throw Failure{code, message};
}

Args::Args(const std::vector<std::string>& words, const std::vector<std::string>& flags,
           const std::vector<std::string>& valued) {
    auto known = [](const std::vector<std::string>& list, const std::string& name) {
        for (const std::string& n : list)
            if (n == name) return true;
        return false;
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.size() < 2 || w[0] != '-' || w == "--") {
            if (w != "--") positional_.push_back(w);
            continue;
        }
        std::string name = w;
        std::optional<std::string> inlineValue;
        if (const auto eq = w.find('='); eq != std::string::npos && w.rfind("--", 0) == 0) {
            name = w.substr(0, eq);
            inlineValue = w.substr(eq + 1);
        }
        if (known(flags, name) && !inlineValue) {
            seen_[name] = "";
        } else if (known(valued, name)) {
            if (inlineValue) {
                seen_[name] = *inlineValue;
            } else if (i + 1 < words.size()) {
                seen_[name] = words[++i];
            } else {
                fail(kExitUsage, "option " + name + " needs a value (see --help)");
            }
        } else {
            fail(kExitUsage, "unknown option " + w + " (see --help)");
        }
    }
}

std::optional<std::string> Args::value(const std::string& name) const {
    const auto it = seen_.find(name);
    if (it == seen_.end()) return std::nullopt;
    return it->second;
}

std::optional<int> Args::integer(const std::string& name, int lo, int hi) const {
    const auto v = value(name);
    if (!v) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(v->c_str(), &end, 10);
    if (v->empty() || *end != '\0' || errno != 0 || n < lo || n > hi)
        fail(kExitUsage, "option " + name + " takes a whole number from " + std::to_string(lo) + " to " +
                             std::to_string(hi) + ", not \"" + *v + "\"");
    return static_cast<int>(n);
}

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '"':
                out += "\\\"";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        // A well-formed UTF-8 sequence goes through unchanged.
        int follow = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
        if (c >= 0x80 && c < 0xC2) follow = 0;
        bool utf8 = follow > 0 && i + static_cast<std::size_t>(follow) < text.size() + 0;
        for (int k = 1; utf8 && k <= follow; ++k)
            utf8 = i + static_cast<std::size_t>(k) < text.size() &&
                   (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0xC0) == 0x80;
        if (c >= 0x80 && utf8) {
            out.append(text, i, static_cast<std::size_t>(follow) + 1);
            i += static_cast<std::size_t>(follow);
        } else if (c < 0x20 || c >= 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// ---- progress ---------------------------------------------------------

namespace {
constexpr auto kProgressTick = std::chrono::milliseconds(250);
}

struct Progress::State {
    std::mutex lock;  // guards text and stop
    std::condition_variable wake;
    std::string text;
    bool stop = false;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::thread painter;
};

Progress::Progress(std::string what) : state_(nullptr) {
    if (::isatty(STDERR_FILENO) == 0) return;
    state_ = new State;
    state_->text = std::move(what);
    state_->painter = std::thread([s = state_] {
        std::unique_lock<std::mutex> hold(s->lock);
        while (!s->stop) {
            const auto seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - s->start).count();
            std::fprintf(stderr, "\r\033[K%s ... %.1f s", s->text.c_str(), seconds);
            std::fflush(stderr);
            s->wake.wait_for(hold, kProgressTick);
        }
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    });
}

Progress::~Progress() {
    if (state_ == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        state_->stop = true;
    }
    state_->wake.notify_all();
    state_->painter.join();
    delete state_;
}

void Progress::set(const std::string& what) {
    if (state_ == nullptr) return;
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->text = what;
}

void Progress::say(const std::string& line) {
    if (state_ == nullptr) {
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
        return;
    }
    std::lock_guard<std::mutex> hold(state_->lock);
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace ticketkit
