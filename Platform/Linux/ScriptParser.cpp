#include "ScriptParser.h"

#include <cstddef>
#include <optional>

namespace dusk::backend {
namespace {

enum class Kind { Word, String, EndOfLine, EndOfScript };

struct Token {
    Kind kind;
    std::string text;  // lower-cased for words, as written for strings
};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool isWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// AppleScript words are case-insensitive; "--" and "#" start a comment; "¬"
// continues a line.
std::variant<std::vector<Token>, ScriptError> tokenize(std::string_view source) {
    constexpr std::string_view continuation = "\xC2\xAC";
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < source.size()) {
        const char c = source[i];
        if (source.substr(i).starts_with(continuation)) {
            i += continuation.size();
            while (i < source.size() && (source[i] == ' ' || source[i] == '\t')) ++i;
            if (i < source.size() && (source[i] == '\n' || source[i] == '\r')) ++i;
            continue;
        }
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '\n' || c == '\r') {
            tokens.push_back({Kind::EndOfLine, {}});
            ++i;
        } else if (source.substr(i).starts_with("--") || c == '#') {
            while (i < source.size() && source[i] != '\n' && source[i] != '\r') ++i;
        } else if (c == '"') {
            std::string text;
            ++i;
            for (;;) {
                if (i >= source.size()) return ScriptError{syntaxError, "Expected \"\"\" but found end of script."};
                if (source[i] == '"') break;
                if (source[i] == '\\' && i + 1 < source.size()) ++i;
                text += source[i++];
            }
            ++i;
            tokens.push_back({Kind::String, std::move(text)});
        } else if (isWordChar(c)) {
            std::string text;
            while (i < source.size() && isWordChar(source[i])) text += lower(source[i++]);
            tokens.push_back({Kind::Word, std::move(text)});
        } else {
            return ScriptError{syntaxError, std::string("Expected expression but found unknown token.")};
        }
    }
    tokens.push_back({Kind::EndOfScript, {}});
    return tokens;
}

std::string describe(const Token& token) {
    switch (token.kind) {
        case Kind::EndOfLine:
            return "end of line";
        case Kind::EndOfScript:
            return "end of script";
        case Kind::String:
            return "\"" + token.text + "\"";
        case Kind::Word:
            return token.text == "end" || token.text == "tell" || token.text == "set" || token.text == "to"
                       ? "\"" + token.text + "\""
                       : "identifier";
    }
    return "identifier";
}

enum class Target { SystemEvents, AppearancePreferences };

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    ParsedScript parse() {
        std::vector<DarkModeChange> changes;
        std::vector<Target> scope;
        skipLines();
        while (peek().kind != Kind::EndOfScript) {
            if (auto error = statement(scope, changes)) return *error;
            skipLines();
        }
        if (error_) return *error_;
        return changes;
    }

private:
    const Token& peek() const { return tokens_[position_]; }
    const Token& next() {
        const Token& token = tokens_[position_];
        if (position_ + 1 < tokens_.size()) ++position_;
        return token;
    }
    bool acceptWord(std::string_view word) {
        if (peek().kind != Kind::Word || peek().text != word) return false;
        next();
        return true;
    }
    void skipLines() {
        while (peek().kind == Kind::EndOfLine) next();
    }
    ScriptError expected(std::string_view what) const {
        return {syntaxError, "Expected " + std::string(what) + " but found " + describe(peek()) + "."};
    }
    std::optional<ScriptError> expectWord(std::string_view word) {
        if (acceptWord(word)) return std::nullopt;
        return expected("\"" + std::string(word) + "\"");
    }
    std::optional<ScriptError> endOfStatement() {
        if (peek().kind == Kind::EndOfLine || peek().kind == Kind::EndOfScript) return std::nullopt;
        return expected("end of line");
    }

    std::optional<ScriptError> statement(std::vector<Target>& scope, std::vector<DarkModeChange>& changes) {
        if (acceptWord("tell")) return tell(scope, changes);
        if (acceptWord("set")) return set(scope, changes);
        return expected("expression");
    }

    std::optional<ScriptError> tell(std::vector<Target>& scope, std::vector<DarkModeChange>& changes) {
        // Deeper nesting than any real script has; the stack stays small.
        if (scope.size() >= 32) return ScriptError{syntaxError, "Too many nested tell blocks."};
        Target target{};
        if (acceptWord("application") || acceptWord("app")) {
            if (peek().kind != Kind::String) return expected("string");
            const std::string name = next().text;
            if (name != "System Events") {
                // Only System Events is on this desktop; the real runner
                // fails the same way for an application it cannot find.
                return ScriptError{noSuchObjectError, "Can't get application \"" + name + "\"."};
            }
            target = Target::SystemEvents;
        } else if (acceptWord("appearance")) {
            if (auto error = expectWord("preferences")) return error;
            if (scope.empty() || scope.back() != Target::SystemEvents) {
                return ScriptError{noSuchObjectError, "Can't get appearance preferences."};
            }
            target = Target::AppearancePreferences;
        } else {
            return expected("application or appearance preferences");
        }
        scope.push_back(target);
        if (acceptWord("to")) {
            auto error = statement(scope, changes);
            scope.pop_back();
            return error;
        }
        if (auto error = endOfStatement()) return error;
        skipLines();
        while (!(peek().kind == Kind::Word && peek().text == "end")) {
            if (peek().kind == Kind::EndOfScript) return expected("\"end\"");
            if (auto error = statement(scope, changes)) return error;
            skipLines();
        }
        next();
        acceptWord("tell");
        scope.pop_back();
        return endOfStatement();
    }

    std::optional<ScriptError> set(const std::vector<Target>& scope, std::vector<DarkModeChange>& changes) {
        if (auto error = expectWord("dark")) return error;
        if (auto error = expectWord("mode")) return error;
        if (auto error = expectWord("to")) return error;
        DarkModeChange change{};
        std::string written;
        if (acceptWord("not")) {
            if (auto error = expectWord("dark")) return error;
            if (auto error = expectWord("mode")) return error;
            change = DarkModeChange::Toggle;
            written = "not dark mode";
        } else if (acceptWord("true")) {
            change = DarkModeChange::Dark;
            written = "true";
        } else if (acceptWord("false")) {
            change = DarkModeChange::Light;
            written = "false";
        } else {
            return expected("true, false or not dark mode");
        }
        if (auto error = endOfStatement()) return error;
        // Parsed whole before anything runs; where the property lives is
        // decided at run time, as the real runner does.
        if (scope.empty() || scope.back() != Target::AppearancePreferences) {
            if (!error_) error_ = ScriptError{writeDeniedError, "Can't set dark mode to " + written + "."};
            return std::nullopt;
        }
        changes.push_back(change);
        return std::nullopt;
    }

    std::vector<Token> tokens_;
    std::size_t position_ = 0;
    std::optional<ScriptError> error_;
};

}  // namespace

ParsedScript parseScript(std::string_view source) {
    auto tokens = tokenize(source);
    if (auto* error = std::get_if<ScriptError>(&tokens)) return *error;
    return Parser(std::move(std::get<std::vector<Token>>(tokens))).parse();
}

}  // namespace dusk::backend
