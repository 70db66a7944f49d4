#include "Arguments.h"

#include "Failure.h"

namespace hdaclient {
namespace {

const OptionRule *FindRule(const std::vector<OptionRule> &rules, const std::string &name) {
    for (const OptionRule &rule : rules) {
        if (name == rule.name) return &rule;
    }
    return nullptr;
}

}  // namespace

Arguments::Arguments(const std::vector<std::string> &args, const std::vector<OptionRule> &rules) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            help_ = true;
            continue;
        }
        if (arg.compare(0, 2, "--") != 0) throw UsageError("unknown option " + arg);
        std::string name = arg.substr(2), value;
        size_t equals = name.find('=');
        bool inlineValue = equals != std::string::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const OptionRule *rule = FindRule(rules, name);
        if (!rule) throw UsageError("unknown option --" + name);
        if (!rule->takesValue) {
            if (inlineValue) throw UsageError("option --" + name + " takes no value");
        } else if (!inlineValue) {
            if (i + 1 >= args.size()) throw UsageError("option --" + name + " needs a value");
            value = args[++i];
        }
        std::vector<std::string> &slot = values_[name];
        if (!slot.empty() && !rule->repeatable) {
            throw UsageError("option --" + name + " may be given only once");
        }
        slot.push_back(value);
    }
}

std::string Arguments::Value(const std::string &name, const std::string &fallback) const {
    auto found = values_.find(name);
    return found == values_.end() ? fallback : found->second.front();
}

std::vector<std::string> Arguments::Values(const std::string &name) const {
    auto found = values_.find(name);
    return found == values_.end() ? std::vector<std::string>() : found->second;
}

}  // namespace hdaclient
