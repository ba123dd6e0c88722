#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <string>

#include "report/listname.h"
#include "tables/naming.h"

namespace {

template <class F>
std::string stdout_of(F&& print) {
    testing::internal::CaptureStdout();
    print();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::string platform_text(long id) {
    return stdout_of([&] { print_platform_name(id); });
}

std::string name_id_text(long id) {
    return stdout_of([&] { print_name_id(id); });
}

std::string name_bytes(USHORT platform, const std::string& bytes, bool escape) {
    return stdout_of([&] {
        print_name_bytes(platform, reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(),
                         escape);
    });
}

}  // namespace

TEST(Naming, PlatformNamesAndTheirRanges) {
    EXPECT_EQ(platform_text(0), "Apple Unicode");
    EXPECT_EQ(platform_text(1), "Macintosh");
    EXPECT_EQ(platform_text(2), "ISO");
    EXPECT_EQ(platform_text(3), "Microsoft");
    EXPECT_EQ(platform_text(240), "User-defined (!)");
    EXPECT_EQ(platform_text(255), "User-defined (!)");
    for (long id : {4L, 239L, 256L, 65535L}) EXPECT_EQ(platform_text(id), "unknown!") << id;
    // Only the low 16 bits count: 65539 is 3, -1 is 0xFFFF.
    EXPECT_EQ(platform_text(65539), "Microsoft");
    EXPECT_EQ(platform_text(-1), "unknown!");
}

TEST(Naming, EncodingNamesPerPlatform) {
    EXPECT_STREQ(encoding_name(0, 3), "");
    EXPECT_STREQ(encoding_name(0, 65535), "");
    EXPECT_STREQ(encoding_name(1, 0), "Mac Roman");
    EXPECT_STREQ(encoding_name(1, 8), "Mac RSymbol");
    EXPECT_STREQ(encoding_name(1, 32), "Mac Uninterp");
    EXPECT_STREQ(encoding_name(1, 33), "Mac unknown-encoding");
    EXPECT_STREQ(encoding_name(2, 0), "ISO 7-bit ASCII");
    EXPECT_STREQ(encoding_name(2, 2), "ISO 8859-1");
    EXPECT_STREQ(encoding_name(2, 3), "ISO unknown-encoding");
    EXPECT_STREQ(encoding_name(3, 0), "MS unspecified-encoding");
    EXPECT_STREQ(encoding_name(3, 1), "MS UGL Unicode");
    EXPECT_STREQ(encoding_name(3, 6), "MS Johab");
    EXPECT_STREQ(encoding_name(3, 7), "MS unknown-encoding");
    EXPECT_STREQ(encoding_name(3, 65536 + 1), "MS UGL Unicode");
    EXPECT_STREQ(encoding_name(4, 0), "unknown-platform-encoding");
    EXPECT_STREQ(encoding_name(240, 1), "unknown-platform-encoding");
    EXPECT_STREQ(encoding_name(65536 + 1, 0), "Mac Roman");
}

TEST(Naming, LanguageNamesPerPlatform) {
    EXPECT_EQ(language_name(1, 0), "English");
    EXPECT_EQ(language_name(1, 18), "Yugoslavian");
    EXPECT_EQ(language_name(1, 22), "Thai");
    EXPECT_EQ(language_name(1, 23), "[unknown language id 0x0017]");
    EXPECT_EQ(language_name(3, 0x0409), "US English");
    EXPECT_EQ(language_name(3, 0x0401), "Arabic");
    EXPECT_EQ(language_name(3, 0x041A), "Croato-Serbian (Latin alphabet)");
    EXPECT_EQ(language_name(3, 0x081A), "Serbo-Croatian (Cyrillic alphabet)");
    EXPECT_EQ(language_name(3, 0x100C), "Swiss French");
    EXPECT_EQ(language_name(3, 0x10000 + 0x0409), "US English");
    for (long gap : {0x0808L, 0x080BL, 0x080DL, 0x0811L, 0x0815L, 0x0819L, 0x0400L})
        EXPECT_EQ(std::string(language_name(3, gap)).substr(0, 21), "[unknown language id ") << gap;
    EXPECT_EQ(language_name(3, 0x0808), "[unknown language id 0x0808]");
    // Platforms without a language table never know a language, even ID 0.
    EXPECT_EQ(language_name(0, 0), "[unknown language id 0x0000]");
    EXPECT_EQ(language_name(2, 0x0409), "[unknown language id 0x0409]");
    EXPECT_EQ(language_name(3, 0), "[unknown language id 0x0000]");
    EXPECT_EQ(language_name(7, -1), "[unknown language id 0xffff]");
}

TEST(Naming, UnknownLanguagesAreValuesOfTheirOwn) {
    const std::string first = language_name(0, 0x0001);
    EXPECT_EQ(first, "[unknown language id 0x0001]");
    const std::string second = language_name(1, 0x00AB);
    EXPECT_EQ(second, "[unknown language id 0x00ab]");
    // A later lookup leaves an earlier answer as it was.
    EXPECT_EQ(language_name(1, 0), "English");
    EXPECT_EQ(first, "[unknown language id 0x0001]");
}

// The ends of the table and the IDs around its gaps; past ID 25 every ID is unknown.
TEST(Naming, NameIdDescriptions) {
    EXPECT_EQ(name_id_text(0), "copyright notice");
    EXPECT_EQ(name_id_text(4), "full font name (should be family+subfamily)");
    EXPECT_EQ(name_id_text(15), "reserved 15");
    EXPECT_EQ(name_id_text(16), "Typographic Family");
    EXPECT_EQ(name_id_text(25), "Variations PostScript Name Prefix");
    EXPECT_EQ(name_id_text(26), "unknown name ID 26");
    EXPECT_EQ(name_id_text(256), "unknown name ID 256");
    EXPECT_EQ(name_id_text(65535), "unknown name ID 65535");
    EXPECT_EQ(name_id_text(-1), "unknown name ID 65535");
    EXPECT_EQ(name_id_text(65536 + 1), "font family name");
    EXPECT_EQ(name_id_text(65536 + 25), "Variations PostScript Name Prefix");
}

TEST(NameString, TwoByteUnitsGiveTheirLowBytes) {
    const std::string sam("\0S\0a\0m", 6);
    EXPECT_EQ(name_bytes(3, sam, false), "Sam");
    EXPECT_EQ(name_bytes(0, sam, false), "Sam");
    // A character above 0xFF loses its high byte; the high bytes are never examined.
    EXPECT_EQ(name_bytes(3, std::string("\x01\x41\x29\x42", 4), false), "AB");
    // A final odd byte is dropped: five bytes give the bytes at positions 1 and 3.
    EXPECT_EQ(name_bytes(3, std::string("\0a\0b\0", 5), false), "ab");
    EXPECT_EQ(name_bytes(3, std::string("x", 1), false), "");
    EXPECT_EQ(name_bytes(3, "", false), "");
}

TEST(NameString, SingleBytePlatformsWriteEveryByte) {
    EXPECT_EQ(name_bytes(1, "Vera Sans", false), "Vera Sans");
    const std::string odd("a\0\x80\xff\n", 5);
    EXPECT_EQ(name_bytes(1, odd, false), odd);
    EXPECT_EQ(name_bytes(2, odd, true), odd);
    EXPECT_EQ(name_bytes(240, "x", false), "x");
}

TEST(NameString, OnlyTheClosingParenthesisIsEscaped) {
    EXPECT_EQ(name_bytes(1, "Foo (Bar)", true), "Foo (Bar\\)");
    EXPECT_EQ(name_bytes(1, "Foo (Bar)", false), "Foo (Bar)");
    EXPECT_EQ(name_bytes(1, "a\\b", true), "a\\b");
    EXPECT_EQ(name_bytes(3, std::string("\0)\0)", 4), true), "\\)\\)");
    // An escaped byte is only ever a low byte: a ")" in a high byte is skipped.
    EXPECT_EQ(name_bytes(3, std::string(")\0", 2), true), std::string("\0", 1));
}
