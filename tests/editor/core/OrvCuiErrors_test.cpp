// The full stop of shown error messages.
#include "OrvCuiErrors.h"

#include <gtest/gtest.h>

TEST(ShownErrorMessage, FullStopAfterACharacterAboveIt) {
  const struct {
    const char* Message;
    const char* Shown;
  } cases[] = {
      {"Bitmap image is not valid", "Bitmap image is not valid."},
      {"Done.", "Done."},
      {"a-", "a-"},                                               // '-' is below the full stop
      {"(x)", "(x)"},                                             // so is ')'
      {"a/", "a/."},                                              // '/' is the first code above it
      {"\xE7\x94\xBB\xE5\x83\x8F", "\xE7\x94\xBB\xE5\x83\x8F."},  // Japanese, UTF-8
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ShownErrorMessage(c.Message), c.Shown) << c.Message;
}
