// String values: construction, sharing, searching, slicing, splitting,
// replacing and conversions.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/gc.h"
#include "runtime/string.h"
#include "tests/runtime/child_process.h"

namespace {

std::vector<uint16_t> units_of(const String& s) { return std::vector<uint16_t>(s.Data(), s.Data() + s.Length()); }

std::string narrow(const String& s) { return std::string(s.ToCString<char>()); }

std::vector<std::string> pieces(const Array<String>& parts) {
  std::vector<std::string> out;
  for (const String& part : parts) out.push_back(narrow(part));
  return out;
}

TEST(StringConstruction, NumbersPrintAsTheLanguageExpects) {
  EXPECT_EQ(narrow(String(-2)), "-2");
  EXPECT_EQ(narrow(String(0)), "0");
  EXPECT_EQ(narrow(String(1234567890)), "1234567890");
  EXPECT_EQ(narrow(String(INT_MAX)), "2147483647");
  EXPECT_EQ(narrow(String(INT_MIN)), "-2147483648") << "the one int whose negation overflows";
  EXPECT_EQ(narrow(String(3.0f)), "3.0");
  EXPECT_EQ(narrow(String(0.1f)), "0.10000000149011612");
  EXPECT_EQ(narrow(String(0.5f)), "0.5");
  EXPECT_EQ(narrow(String(1e20f)), "1.0000000200408773e+20") << "an exponent needs no point";
  EXPECT_EQ(narrow(String(-1.0f)), "-1.0");
}

TEST(StringConstruction, NarrowBytesAreSignExtendedAndLatin1BytesAreNot) {
  EXPECT_EQ(units_of(String("A\xE9")), std::vector<uint16_t>({0x41, 0xFFE9}));
  const unsigned char bytes[] = {0x41, 0xE9, 0x00, 0x80};
  EXPECT_EQ(units_of(String(bytes, 4)), std::vector<uint16_t>({0x41, 0xE9, 0x00, 0x80}));
  EXPECT_EQ(String(bytes, 0).rep, String().rep);
}

TEST(StringConstruction, WideTextKeepsSixteenBitUnitsAndSplitsAstralCharacters) {
  EXPECT_EQ(units_of(String(L"\u00e9\u4e2d")), std::vector<uint16_t>({0xE9, 0x4E2D}));
  EXPECT_EQ(units_of(String(L"a\U0001F600")), std::vector<uint16_t>({0x61, 0xD83D, 0xDE00}));
  const wchar_t text[] = L"abc";
  EXPECT_EQ(narrow(String(text, 2)), "ab");
  EXPECT_EQ(narrow(T("lit")), "lit");
  EXPECT_EQ(narrow(T(L"wide")), "wide");
}

TEST(StringSharing, EmptyStringIsOneRepresentationThatIsNeverCounted) {
  String::Rep* empty = String().rep;
  EXPECT_EQ(String("").rep, empty);
  EXPECT_EQ(String::Rep::alloc(0), empty);
  int count = empty->refcount;
  {
    String a, b = a, c;
    c = b;
  }
  EXPECT_EQ(empty->refcount, count);
}

TEST(StringSharing, CopiesShareAndCountTheRepresentation) {
  String a = String("ab") + String("cd");
  EXPECT_EQ(a.rep->refcount, 1);
  {
    String b = a;
    String c;
    c = b;
    EXPECT_EQ(a.rep->refcount, 3);
    c = c;  // self-assignment must not free the text
    EXPECT_EQ(narrow(c), "abcd");
  }
  EXPECT_EQ(a.rep->refcount, 1);
}

TEST(StringSharing, OperationsWithAnUnchangedResultShareTheReceiver) {
  String text("Hello");
  String empty;
  EXPECT_EQ((text + empty).rep, text.rep);
  EXPECT_EQ((empty + text).rep, text.rep);
  EXPECT_EQ(text.Slice(0, 5).rep, text.rep);
  EXPECT_EQ(text.Slice(0).rep, text.rep);
  EXPECT_EQ(text.Replace(String("xyz"), String("q")).rep, text.rep);
  String lower("already lower");
  EXPECT_EQ(lower.ToLower().rep, lower.rep);
  EXPECT_EQ(text.Split(String(",")).rep->data()[0].rep, text.rep);
}

TEST(StringOperations, EqualityAndConcatenation) {
  EXPECT_TRUE(String("abc") == String("abc"));
  EXPECT_FALSE(String("abc") == String("abd"));
  EXPECT_FALSE(String("ab") == String("abc"));
  EXPECT_TRUE(String() == String(""));
  EXPECT_EQ(narrow(String("ab") + String("cd")), "abcd");
  EXPECT_EQ(narrow("x" + String(5) + ":" + String(7)), "x5:7");
  EXPECT_LT(String("ab").Compare(String("abc")), 0);
  EXPECT_GT(String("b").Compare(String("abc")), 0);
}

// Two texts of 2^30 units join to 2^31, one more than an int counts: the join
// must stop with the out-of-memory message instead of copying into the shared
// empty representation. The texts' units are never touched, so their pages
// cost no memory.
TEST(StringOperations, ConcatenationPastTheLengthLimitStopsAsOutOfMemory) {
  const childtest::Outcome outcome = childtest::run([] {
    const String half(String::Rep::alloc(1 << 30));
    const String joined = half + half;
    std::printf("joined %d\n", joined.Length());
  });
  EXPECT_EQ(outcome.exit_code, 255) << outcome.out << outcome.err;
  EXPECT_EQ(outcome.out.rfind("Out of memory", 0), 0u) << outcome.out;
  EXPECT_NE(outcome.out.find("2147483648"), std::string::npos) << outcome.out;
}

TEST(StringOperations, StartsWithRefusesLongerPrefixes) {
  String text("abc");
  EXPECT_TRUE(text.StartsWith(String("ab")));
  EXPECT_TRUE(text.StartsWith(String()));
  EXPECT_FALSE(text.StartsWith(String("abcd")));
  EXPECT_FALSE(text.StartsWith(String("b")));
  EXPECT_TRUE(text.EndsWith(String("bc")));
  EXPECT_FALSE(text.EndsWith(String("zabc")));
}

TEST(StringOperations, FindClampsTheStartAndFindsEmptyTextAtStart) {
  String text("xaxbx");
  EXPECT_EQ(text.Find(String("x"), -5), 0);
  EXPECT_EQ(text.Find(String("x"), 1), 2);
  EXPECT_EQ(text.Find(String("x"), 5), -1);
  EXPECT_EQ(text.Find(String("bx")), 3);
  EXPECT_EQ(text.Find(String("q")), -1);
  EXPECT_EQ(text.Find(String(), 2), 2);
  EXPECT_EQ(text.Find(String(), 5), 5);
  EXPECT_EQ(text.Find(String(), 6), -1);
  EXPECT_EQ(String("ab").Find(String("abc")), -1);
}

TEST(StringOperations, FindLastScansDownward) {
  String text("xaxbx");
  EXPECT_EQ(text.FindLast(String("x")), 4);
  EXPECT_EQ(text.FindLast(String("xa")), 0);
  EXPECT_EQ(text.FindLast(String()), 5);
  EXPECT_EQ(text.FindLast(String("q")), -1);
  EXPECT_EQ(text.FindLast(String("xaxbxx")), -1);
}

TEST(StringOperations, SliceCountsNegativeIndexesFromTheEnd) {
  String text("abcdef");
  EXPECT_EQ(narrow(text.Slice(-3)), "def");
  EXPECT_EQ(narrow(text.Slice(2, -1)), "cde");
  EXPECT_EQ(narrow(text.Slice(4, 2)), "");
  EXPECT_EQ(narrow(text.Slice(-100, 2)), "ab");
  EXPECT_EQ(narrow(text.Slice(3, 100)), "def");
  EXPECT_EQ(narrow(text.Slice(10)), "");
  EXPECT_EQ(narrow(text.Slice(1, -100)), "") << "a far negative end is not clamped up";
  EXPECT_EQ(text.Slice(2, 2).rep, String().rep);
}

TEST(StringSplit, SeparatorsAtTheEdgesAndAdjacentGiveEmptyPieces) {
  EXPECT_EQ(pieces(String(",a,,b,").Split(String(","))), std::vector<std::string>({"", "a", "", "b", ""}));
  EXPECT_EQ(pieces(String("a--b").Split(String("--"))), std::vector<std::string>({"a", "b"}));
  EXPECT_EQ(pieces(String("aaaa").Split(String("aa"))), std::vector<std::string>({"", "", ""})) << "no overlap";
  EXPECT_EQ(pieces(String("1|2|").Split(String("|"))), std::vector<std::string>({"1", "2", ""}));
}

TEST(StringSplit, EmptyTextAndEmptySeparator) {
  EXPECT_EQ(pieces(String().Split(String(","))), std::vector<std::string>({""}));
  Array<String> none = String().Split(String());
  EXPECT_EQ(none.Length(), 0);
  EXPECT_EQ(pieces(String("abc").Split(String())), std::vector<std::string>({"a", "b", "c"}));
}

TEST(StringReplace, ReplacesEveryOccurrenceWithoutOverlap) {
  EXPECT_EQ(narrow(String("a.b.c").Replace(String("."), String("::"))), "a::b::c");
  EXPECT_EQ(narrow(String("aaa").Replace(String("aa"), String("b"))), "ba");
  EXPECT_EQ(narrow(String("xyx").Replace(String("x"), String())), "y");
  EXPECT_EQ(String("xx").Replace(String("x"), String()).rep, String().rep);
  String text("keep");
  EXPECT_EQ(text.Replace(String(), String("z")).rep, text.rep) << "an empty search changes nothing";
}

TEST(StringConversions, ToLowerChangesOnlyAsciiCapitals) {
  const wchar_t mixed[] = {L'A', L'z', 0xC9, 0x100, L'Q', 0};
  EXPECT_EQ(units_of(String(mixed).ToLower()), std::vector<uint16_t>({'a', 'z', 0xC9, 0x100, 'q'}));
}

TEST(StringConversions, CStringsKeepLowBytesOrFullUnitsAndLiveInCollectedArrays) {
  const wchar_t text[] = {L'h', 0x4E2D, L'!', 0};
  String s(text);
  int before = gc_alloced_bytes;
  char* narrow_copy = s.ToCString<char>();
  EXPECT_GT(gc_alloced_bytes, before) << "the copy is a collected array";
  EXPECT_EQ(std::string(narrow_copy), std::string("h\x2D!"));
  wchar_t* wide = s.ToCString<wchar_t>();
  EXPECT_EQ(wide[1], 0x4E2D);
  EXPECT_EQ(wide[3], 0);
}

TEST(StringConversions, IntConversionReadsLeadingDigitsLikeAtoi) {
  EXPECT_EQ(String("  42abc").ToInt(), 42);
  EXPECT_EQ(String("-17").ToInt(), -17);
  EXPECT_EQ(String("+8").ToInt(), 8);
  EXPECT_EQ(String("abc").ToInt(), 0);
  EXPECT_EQ(String().ToInt(), 0);
  EXPECT_EQ(static_cast<int>(String("12|34")), 12);
}

TEST(StringArrays, CreateCopyAndDestroyKeepCountsBalanced) {
  String word = String("wo") + String("rd");
  alignas(String) unsigned char storage[3 * sizeof(String)];
  String* slots = reinterpret_cast<String*>(storage);
  t_create(3, slots);
  EXPECT_EQ(slots[0].rep, String().rep);
  t_destroy(3, slots);
  String source[2] = {word, word};
  EXPECT_EQ(word.rep->refcount, 3);
  t_create(2, slots, source);
  EXPECT_EQ(word.rep->refcount, 5);
  t_destroy(2, slots);
  EXPECT_EQ(word.rep->refcount, 3);
}

}  // namespace
