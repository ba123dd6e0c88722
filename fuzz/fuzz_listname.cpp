// The listname fragment of any name string reads back through the token reader as exactly
// that string, one operand that runs nothing, and rename stores it back to the same text.
// The first byte picks the platform (0 to 3), the rest are the name's bytes as stored.
// A failed check aborts, which libFuzzer and the replay tests report.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "interp/interp.h"
#include "interp/token.h"
#include "report/listname.h"
#include "tables/name_text.h"

namespace {

void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "listname round trip: %s\n", what);
    std::abort();
}

// The tokens a script of the fragment gives, in order, with the reader's last status.
struct read_back {
    std::vector<script_token> tokens;
    token_status last = token_status::end;
};

read_back read_script(std::string& script) {
    read_back out;
    std::FILE* stream = fmemopen(script.data(), script.size(), "r");
    check(stream != nullptr, "fmemopen failed");
    std::size_t budget = script.size();
    for (;;) {
        script_token token;
        out.last = parse_token(stream, token, budget);
        if (out.last != token_status::token) break;
        out.tokens.push_back(std::move(token));
    }
    std::fclose(stream);
    return out;
}

void check_fragment(const std::string& text) {
    const std::string written = script_string_text(text, is_command_word(text));
    for (char c : written)
        check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "control character written");
    std::string script = "% Microsoft\n% full font name\n3 1 0x409 4\n(" + written + ")\n";
    const read_back back = read_script(script);
    if (text.size() > kMaxTokenLength) {
        check(back.tokens.size() == 4 && back.last == token_status::error,
              "a name too long for a token was not refused");
        return;
    }
    check(back.last == token_status::end, "the reader did not reach the end");
    check(back.tokens.size() == 5, "not five tokens");
    const char* numbers[] = {"3", "1", "0x409", "4"};
    for (int i = 0; i < 4; ++i) check(back.tokens[i].text == numbers[i], "identifiers changed");
    check(back.tokens[4].text == text, "the text read back differs");
    check(back.tokens[4].operand_only || !is_command_word(text), "the text would run a command");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto platformID = static_cast<USHORT>(data[0] % 4);
    const std::string text = name_text_utf8(platformID, data + 1, size - 1);
    check_fragment(text);
    // rename stores what the reader gave back; listed again, it is the same text.
    const stored_name_text stored = encode_name_text(platformID, text);
    check(stored.unmappable == 0, "rename could not store a listed character");
    check(name_text_utf8(platformID, reinterpret_cast<const BYTE*>(stored.bytes.data()),
                         stored.bytes.size()) == text,
          "rename stored other text");
    return 0;
}
