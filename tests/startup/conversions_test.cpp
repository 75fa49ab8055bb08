#include "startup/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/fake/fake_platform.h"

namespace qano {
namespace {

const NumberForms kShop{",", "."};
const NumberForms kEnglish{".", ",", "$"};

// Runs `f` and returns the failure number it ends with, or 0.
template <typename F>
int failure_of(F f) {
  try {
    f();
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

TEST(LeadingNumber, ReadsTheNumberATextBeginsWith) {
  struct Case {
    const char* text;
    double number;
  };
  const Case cases[] = {
      {"12abc", 12},    {"1 5", 15},  {"&H1F", 31},   {"&h1f", 31},
      {"&O17", 15},     {"&H", 0},    {"&X1", 0},     {"&HFFFFFFFF", 4294967295.0},
      {"1D2", 100},     {"1d2", 100}, {"1E-2", 0.01}, {"2.5e+1", 25},
      {"1e", 1},        {"1e+", 1},   {"1E2.5", 100}, {"abc", 0},
      {"", 0},          {".5", 0.5},  {"5.", 5},      {".", 0},
      {"-2.5", -2.5},   {"+3", 3},    {"- 3", -3},    {"--1", 0},
      {"1\t2\n3", 123}, {"1\r2", 1},  {"1.2.3", 1.2}, {"3,5", 3},
      {"  42  ", 42},   {"007", 7},   {"1e-400", 0},  {"3.5", 3.5},
  };
  for (const Case& c : cases) EXPECT_EQ(leading_number(c.text), c.number) << c.text;
}

TEST(LeadingNumber, BeyondADoubleIsOverflow) {
  EXPECT_EQ(failure_of([] { leading_number("1e400"); }), failure::kOverflow);
  EXPECT_EQ(failure_of([] { leading_number(std::string(400, '9')); }), failure::kOverflow);
}

TEST(Rounding, NearestWithTiesToEvenAndOverflowOutsideTheType) {
  struct Case {
    double number;
    int integer;  // 0 with overflow set
    bool overflow;
  };
  const Case cases[] = {
      {3.5, 4, false},         {2.5, 2, false},    {-2.5, -2, false},
      {-3.5, -4, false},       {0.5, 0, false},    {1.5, 2, false},
      {2.4999, 2, false},      {2.5001, 3, false}, {32767, 32767, false},
      {32767.4, 32767, false}, {32767.5, 0, true}, {-32768.5, -32768, false},
      {-32768.6, 0, true},     {40000, 0, true},   {std::nan(""), 0, true},
  };
  for (const Case& c : cases) {
    if (c.overflow) {
      EXPECT_EQ(failure_of([&] { round_to_integer(c.number); }), failure::kOverflow) << c.number;
    } else {
      EXPECT_EQ(round_to_integer(c.number), c.integer) << c.number;
    }
  }
  EXPECT_EQ(round_to_long(2147483647.4), 2147483647);
  EXPECT_EQ(round_to_long(-2147483648.5), std::numeric_limits<Long>::min());
  EXPECT_EQ(round_to_long(2.5), 2);
  EXPECT_EQ(failure_of([] { round_to_long(2147483647.5); }), failure::kOverflow);
  EXPECT_EQ(failure_of([] { round_to_long(-2147483649.0); }), failure::kOverflow);
}

TEST(ToLong, NumbersAndRegionalTexts) {
  struct Case {
    JetValue value;
    Long number;
  };
  const Case cases[] = {
      {JetValue::integer(JetType::long_integer, 7), 7},
      {JetValue::integer(JetType::integer, -3), -3},
      {JetValue::integer(JetType::byte, 200), 200},
      {JetValue::real(JetType::double_precision, 3.5), 4},
      {JetValue::real(JetType::double_precision, 2.5), 2},
      {JetValue::real(JetType::single, 2.5), 2},
      {JetValue::currency(25000), 2},
      {JetValue::currency(35000), 4},
      {JetValue::currency(25001), 3},
      {JetValue::currency(-25000), -2},
      {JetValue::currency(-35000), -4},
      {JetValue::boolean(true), -1},
      {JetValue::boolean(false), 0},
      {JetValue::date_time(46363.75), 46364},
      {JetValue::text("12"), 12},
      {JetValue::text(" 12 "), 12},
      {JetValue::text("3,5"), 4},
      {JetValue::text("2,5"), 2},
      {JetValue::text(",5"), 0},
      {JetValue::text("1.234"), 1234},
      {JetValue::text("1.234.567,5"), 1234568},
      {JetValue::text("-7"), -7},
      {JetValue::text("+7"), 7},
      {JetValue::text("1E3"), 1000},
      {JetValue::text("&H10"), 16},
      {JetValue::text("2147483647"), 2147483647},
      {JetValue::text("12", JetType::memo), 12},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(to_long(c.value, kShop), c.number) << jet_type_name(c.value.type());
  }
}

// The Windows number parser's reading, as Wine's oleaut32 gives it under Italian settings: the
// thousands separator anywhere after the whole part's first digit, a sign before or after the
// number or parentheses, the currency symbol, white space around it all, a Long's 32 bits in hex.
TEST(ToLong, TextsAsTheWindowsNumberParserReadsThem) {
  struct Case {
    const char* text;
    Long number;
  };
  const Case cases[] = {
      {"1.2.3", 123},
      {"3.5", 35},
      {"1.23", 123},
      {"1..2", 12},
      {"1.", 1},
      {"1.2,5", 12},
      {"1.2.3,5", 124},
      {"-1.2", -12},
      {"1.e2", 100},
      {"1,e2", 100},
      {"1,5e1", 15},
      {"1,", 1},
      {"7-", -7},
      {"7+", 7},
      {"(7)", -7},
      {"( 1 )", -1},
      {"- 7", -7},
      {"\t12\t", 12},
      {"\n12\r", 12},
      {"€ 7", 7},
      {"7 €", 7},
      {"€7", 7},
      {"€-7", -7},
      {"-€ 7", -7},
      {"7-€", -7},
      {"&HFFFFFFFF", -1},
      {"&H80000000", -2147483648LL},
      {"&O37777777777", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(to_long(JetValue::text(c.text), kShop), c.number) << c.text;
  const char* mismatches[] = {".1",  "-.7", "--7",  "+-1",   "(-1)", "(7",        "7)",   "7-+",
                              "€€7", "$7",  "1.-2", "&H 10", "1 5",  "1.234,5.6", "7 - 8"};
  for (const char* text : mismatches) {
    EXPECT_EQ(failure_of([&] { to_long(JetValue::text(text), kShop); }), failure::kTypeMismatch)
        << text;
  }
  EXPECT_EQ(failure_of([] { to_long(JetValue::text("&H100000000"), kShop); }), failure::kOverflow);
}

TEST(ToLong, WhatCannotBeConvertedFails) {
  struct Case {
    JetValue value;
    int failure;
  };
  const Case cases[] = {
      {JetValue::text("12abc"), failure::kTypeMismatch},
      {JetValue::text(""), failure::kTypeMismatch},
      {JetValue::text("   "), failure::kTypeMismatch},
      {JetValue::text("abc"), failure::kTypeMismatch},
      {JetValue::text(".5"), failure::kTypeMismatch},
      {JetValue::text("1 5"), failure::kTypeMismatch},
      {JetValue::text("&H"), failure::kTypeMismatch},
      {JetValue::text("3000000000"), failure::kOverflow},
      {JetValue::text("1e400"), failure::kOverflow},
      {JetValue::real(JetType::double_precision, 3e9), failure::kOverflow},
      {JetValue::currency(std::numeric_limits<std::int64_t>::max()), failure::kOverflow},
      {JetValue::null(JetType::long_integer), failure::kInvalidUseOfNull},
      {JetValue::integer(JetType::other, 1), failure::kTypeMismatch},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(failure_of([&] { to_long(c.value, kShop); }), c.failure)
        << (c.value.is_text() ? c.value.as_text() : jet_type_name(c.value.type()));
  }
}

TEST(ToLong, FollowsTheRegionalForms) {
  EXPECT_EQ(to_long(JetValue::text("3.5"), kEnglish), 4);
  EXPECT_EQ(to_long(JetValue::text("1,234"), kEnglish), 1234);
  EXPECT_EQ(to_long(JetValue::text("3,5"), kEnglish), 35);
  EXPECT_EQ(failure_of([] { to_long(JetValue::text("€5"), kEnglish); }), failure::kTypeMismatch);
  EXPECT_EQ(to_long(JetValue::text("$5"), kEnglish), 5);
  NumberForms spaced{",", "\u202f"};  // a narrow no-break space between the groups
  EXPECT_EQ(to_long(JetValue::text("1\u202f234,4"), spaced), 1234);
}

TEST(NumberText, ShortestFormWithFifteenDigitsAndTheRegionalSeparator) {
  struct Case {
    double number;
    const char* text;
  };
  const Case cases[] = {
      {12, "12"},
      {0.1 + 0.2, "0,3"},
      {-1.5, "-1,5"},
      {0, "0"},
      {-0.0, "0"},
      {1234567, "1234567"},
      {123456789012345, "123456789012345"},
      {1e15, "1E+15"},
      {1234567890123456, "1,23456789012346E+15"},
      {0.0001, "0,0001"},
      {0.00001, "1E-05"},
      {1.0 / 3, "0,333333333333333"},
      {31, "31"},
  };
  for (const Case& c : cases) EXPECT_EQ(number_text(c.number, kShop), c.text) << c.number;
  EXPECT_EQ(number_text(2.5, kEnglish), "2.5");
}

TEST(ValueText, EachKindAsTextOnTheShopsWorkstation) {
  FakePlatform platform;
  struct Case {
    JetValue value;
    const char* text;
  };
  const Case cases[] = {
      {JetValue::text("abc"), "abc"},
      {JetValue::text(""), ""},
      {JetValue::text(" S "), " S "},
      {JetValue::text("note", JetType::memo), "note"},
      {JetValue::integer(JetType::long_integer, 12), "12"},
      {JetValue::integer(JetType::integer, -7), "-7"},
      {JetValue::real(JetType::double_precision, 3.5), "3,5"},
      {JetValue::real(JetType::single, static_cast<float>(0.1)), "0,1"},
      {JetValue::currency(123456), "12,3456"},
      {JetValue::currency(125000), "12,5"},
      {JetValue::currency(120000), "12"},
      {JetValue::currency(-5000), "-0,5"},
      {JetValue::currency(std::numeric_limits<std::int64_t>::min()), "-922337203685477,5808"},
      {JetValue::boolean(true), "True"},
      {JetValue::boolean(false), "False"},
      {JetValue::date_time(46363), "07/12/2026"},
      {JetValue::date_time(46363.5), "07/12/2026 12:00:00"},
      {JetValue::date_time(36585 + 0.25), "29/02/2000 06:00:00"},
      {JetValue::date_time(0.75), "18:00:00"},
      {JetValue::date_time(0), "00:00:00"},
      {JetValue::date_time(-1.25), "29/12/1899 06:00:00"},
      {JetValue::date_time(46363.99999999), "08/12/2026"},
  };
  for (const Case& c : cases) EXPECT_EQ(value_text(c.value, platform), c.text) << c.text;
}

TEST(ValueText, NullAndForeignKindsFail) {
  FakePlatform platform;
  EXPECT_EQ(failure_of([&] { value_text(JetValue::null(JetType::text), platform); }),
            failure::kInvalidUseOfNull);
  EXPECT_EQ(failure_of([&] { value_text(JetValue::integer(JetType::other, 1), platform); }),
            failure::kTypeMismatch);
}

TEST(LeadingNumberOf, ANumberStandsForItselfWhateverTheDecimalSeparator) {
  FakePlatform platform;
  struct Case {
    JetValue value;
    double number;
  };
  const Case cases[] = {
      {JetValue::text("3.5"), 3.5},
      {JetValue::text("3,5"), 3},
      {JetValue::real(JetType::double_precision, 3.5), 3.5},
      {JetValue::real(JetType::single, 2.5f), 2.5},
      {JetValue::currency(25000), 2.5},
      {JetValue::integer(JetType::long_integer, -12), -12},
      {JetValue::boolean(true), 0},     // "True" begins with no number
      {JetValue::date_time(46363), 7},  // "07/12/2026"
  };
  for (const Case& c : cases) {
    EXPECT_EQ(leading_number_of(c.value, platform), c.number) << jet_type_name(c.value.type());
  }
}

}  // namespace
}  // namespace qano
