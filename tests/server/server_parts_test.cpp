// The server's parts that need no database: names, tokens, the rate limit,
// the stored hash of a token and the configuration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "server/config.h"
#include "server/names.h"
#include "server/rate_limit.h"
#include "server/tokens.h"

namespace {

TEST(PlayerNames, LettersAndDigitsOfAnyScriptAreAccepted) {
  for (const char* name : {"Ana", "Zoë-2", "张伟", "Дмитрий_7", "नमस्ते", "محمد.ع", "A B", "123456789012345678901234"}) {
    EXPECT_EQ(server::NameProblem(name), "") << name;
  }
}

TEST(PlayerNames, RefusalsSayWhy) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "needed"},
      {std::string(10000, 'a'), "longer than 24"},
      {"1234567890123456789012345", "longer than 24"},
      {"Ana\x01", "control"},
      {"Ana\x7f", "control"},
      {"Ana\xc2\x85", "control"},    // U+0085, a C1 control
      {"Ana\xc0\xaf", "UTF-8"},      // overlong '/'
      {"Ana\xed\xa0\x80", "UTF-8"},  // a surrogate
      {"Ana\xe4\xb8", "UTF-8"},      // cut short
      {"Ana<b>", "only letters"},
      {"Ana\xe2\x80\xae", "only letters"},  // right-to-left override
      {"   ", "only spaces"},
      {" Ana", "space"},
  };
  for (const auto& [name, says] : cases) {
    const std::string problem = server::NameProblem(name);
    EXPECT_NE(problem.find(says), std::string::npos) << "\"" << name << "\" gave \"" << problem << "\"";
  }
}

TEST(PlayerTokens, OnlyLongUrlSafeTokensAndTheirHashIsSha256) {
  EXPECT_TRUE(server::ValidToken("abcdefghijklmnop"));
  EXPECT_FALSE(server::ValidToken("abcdefghijklmno"));
  EXPECT_FALSE(server::ValidToken(std::string(129, 'a')));
  EXPECT_FALSE(server::ValidToken("abcdefghijklmnop'--"));
  EXPECT_EQ(server::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(PostRateLimit, AWindowAllowsItsCountPerKeyThenSaysWhenToRetry) {
  server::RateLimit limit(2);
  const auto start = server::RateLimit::Clock::now();
  EXPECT_EQ(limit.Take("a", start), 0);
  EXPECT_EQ(limit.Take("a", start), 0);
  EXPECT_EQ(limit.Take("a", start + std::chrono::seconds(20)), 40);
  EXPECT_EQ(limit.Take("b", start + std::chrono::seconds(20)), 0) << "keys are counted apart";
  EXPECT_EQ(limit.Take("a", start + std::chrono::seconds(61)), 0) << "a new window starts afresh";
}

TEST(ServerConfig, NumbersAreReadEachUnderItsOwnNameAndRefusedOutsideTheirRange) {
  const char* const names[] = {"KORVANE_WORKERS", "KORVANE_DATABASE_CONNECTIONS", "KORVANE_POSTS_PER_MINUTE",
                               "KORVANE_RERUN_SECONDS"};
  for (const char* name : names) unsetenv(name);
  server::Config config;
  std::string error;
  ASSERT_TRUE(server::ReadConfig(&config, &error)) << error;
  EXPECT_EQ(config.databaseConnections, 4 * static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));

  setenv("KORVANE_WORKERS", "3", 1);
  setenv("KORVANE_DATABASE_CONNECTIONS", "12", 1);
  setenv("KORVANE_POSTS_PER_MINUTE", "7", 1);
  setenv("KORVANE_RERUN_SECONDS", "9", 1);
  ASSERT_TRUE(server::ReadConfig(&config, &error)) << error;
  EXPECT_EQ(config.workers, 3);
  EXPECT_EQ(config.databaseConnections, 12);
  EXPECT_EQ(config.postsPerMinute, 7);
  EXPECT_EQ(config.rerunSeconds, 9);

  for (const char* bad : {"0", "1001", "12x", "-3"}) {
    setenv("KORVANE_DATABASE_CONNECTIONS", bad, 1);
    EXPECT_FALSE(server::ReadConfig(&config, &error)) << bad;
    EXPECT_EQ(error, "KORVANE_DATABASE_CONNECTIONS must be a number from 1 to 1000") << bad;
  }
  for (const char* name : names) unsetenv(name);
}

}  // namespace
