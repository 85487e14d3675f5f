// The window's Qt Test classes share one program: each Gui<Name>_test.cpp registers its class under <Name>,
// and the program runs the class named by its first argument (all classes without one).
#pragma once

#include <QObject>
#include <functional>
#include <memory>

using TGuiTestFactory = std::function<std::unique_ptr<QObject>()>;
bool RegisterGuiTest(const char* Name, TGuiTestFactory Factory);

#define TILORA_GUI_TEST(Class, Name) \
  static const bool Class##Registered = RegisterGuiTest(Name, [] { return std::make_unique<Class>(); })
