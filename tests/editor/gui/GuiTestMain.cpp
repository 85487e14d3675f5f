#include <QApplication>
#include <QTest>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "GuiTest.h"

namespace {
std::map<std::string, TGuiTestFactory>& Registry() {
  static std::map<std::string, TGuiTestFactory> registry;
  return registry;
}
}  // namespace

bool RegisterGuiTest(const char* Name, TGuiTestFactory Factory) {
  Registry().emplace(Name, std::move(Factory));
  return true;
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::vector<std::string> names;
  std::vector<char*> args{argv[0]};
  if (argc > 1 && Registry().count(argv[1])) {
    names.push_back(argv[1]);
    args.insert(args.end(), argv + 2, argv + argc);
  } else {
    for (const auto& [name, factory] : Registry()) names.push_back(name);
    args.insert(args.end(), argv + 1, argv + argc);
  }
  int failed = 0;
  for (const std::string& name : names) {
    const std::unique_ptr<QObject> test = Registry().at(name)();
    failed += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
  }
  return failed == 0 ? 0 : 1;
}
