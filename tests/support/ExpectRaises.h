// Checks that a call fails the way the system promises: with exactly the exception class and its message.
#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <typeinfo>

// Expects Call to raise exactly the class E (not a subclass) whose what() is Message. Failures name the
// caller's line. The caller's place comes from __builtin_FILE/__builtin_LINE rather than
// std::source_location, which clang 14 (the fuzz build's compiler) cannot provide with this standard library.
template <class E, class TCall>
void ExpectRaises(TCall&& Call, const std::string& Message, const char* File = __builtin_FILE(),
                  int Line = __builtin_LINE()) {
  const testing::ScopedTrace trace(File, Line, "ExpectRaises");
  try {
    Call();
    ADD_FAILURE() << "no exception, expected " << typeid(E).name() << ": " << Message;
  } catch (const E& e) {
    EXPECT_EQ(typeid(e), typeid(E)) << "raised " << typeid(e).name() << ", a subclass of "
                                    << typeid(E).name();
    EXPECT_EQ(std::string(e.what()), Message);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "wrong exception " << typeid(e).name() << ": " << e.what() << "; expected "
                  << typeid(E).name() << ": " << Message;
  }
}
