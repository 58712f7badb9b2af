#include <cstdio>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string_view>
#include <vector>

#include "AppDelegate.h"
#include "CommandLine.h"
#include "platform/Session.h"

namespace {

// A stream onto standard output or error. <iostream> would set up its eight
// standard streams and their locale at every start, the tray instance's too,
// for the few lines a command prints.
class StdioBuffer final : public std::streambuf {
public:
    explicit StdioBuffer(std::FILE* file) : file_(file) {}

private:
    int_type overflow(int_type character) override {
        if (traits_type::eq_int_type(character, traits_type::eof())) return traits_type::not_eof(character);
        return std::fputc(character, file_) == EOF ? traits_type::eof() : character;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        return static_cast<std::streamsize>(std::fwrite(text, 1, static_cast<std::size_t>(count), file_));
    }
    int sync() override { return std::fflush(file_) == 0 ? 0 : -1; }

    std::FILE* file_;
};

}  // namespace

int main(int argc, char** argv) {
    // A command does its work and ends; it never puts a second item in the
    // menu bar.
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (!arguments.empty()) {
        StdioBuffer outBuffer(stdout);
        StdioBuffer errBuffer(stderr);
        std::ostream out(&outBuffer);
        std::ostream err(&errBuffer);
        if (const auto status = dusk::CommandLine::run(arguments, out, err)) return *status;
    }

    // The launch action is the delegate's only owner, so that the session
    // can end Dusk's windows while its application still stands.
    return platform::Session::run(
        [delegate = std::make_shared<dusk::AppDelegate>()] { delegate->applicationDidFinishLaunching(); });
}
