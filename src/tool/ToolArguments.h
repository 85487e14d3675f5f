// The arguments of a tilora-tool subcommand: operands, options with a value and flags.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ToolExport.h"

// Arguments split into operands and options. Options named in Valued take the next argument as their value;
// Flags take none.
struct TArguments {
  std::vector<std::string> Operands;
  std::map<std::string, std::string> Values;
  std::set<std::string> Flags;

  TArguments(const std::vector<std::string>& Args, const std::set<std::string>& Valued,
             const std::set<std::string>& KnownFlags) {
    for (size_t i = 0; i < Args.size(); ++i) {
      const std::string& arg = Args[i];
      if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
        Operands.push_back(arg);
      } else if (Valued.count(arg)) {
        if (i + 1 == Args.size()) throw EToolUsage(arg + " needs a value");
        if (!Values.emplace(arg, Args[++i]).second) throw EToolUsage(arg + " is given twice");
      } else if (KnownFlags.count(arg)) {
        Flags.insert(arg);
      } else {
        throw EToolUsage("unknown option " + arg);
      }
    }
  }
  bool Has(const std::string& Name) const { return Values.count(Name) > 0; }
  std::string Value(const std::string& Name, const std::string& Default = "") const {
    const auto found = Values.find(Name);
    return found == Values.end() ? Default : found->second;
  }
};
