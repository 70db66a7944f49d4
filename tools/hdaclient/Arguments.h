// The command line after the command name: options ("--name value",
// "--name=value", flags) and positional arguments. "--" ends the options.
#ifndef HDACLIENT_ARGUMENTS_H
#define HDACLIENT_ARGUMENTS_H

#include <map>
#include <string>
#include <vector>

namespace hdaclient {

struct OptionRule {
    const char *name;  // without the leading "--"
    bool takesValue;
    bool repeatable;
};

class Arguments {
public:
    // Throws a usage Failure for an unknown option, a missing value or an
    // option given twice that may be given once. "--help" and "-h" are
    // always accepted.
    Arguments(const std::vector<std::string> &args, const std::vector<OptionRule> &rules);

    bool Help() const { return help_; }
    const std::vector<std::string> &Positional() const { return positional_; }
    bool Has(const std::string &name) const { return values_.count(name) != 0; }
    // The option's value, or fallback when it is absent.
    std::string Value(const std::string &name, const std::string &fallback = "") const;
    // Every value of a repeatable option, in order.
    std::vector<std::string> Values(const std::string &name) const;

private:
    bool help_ = false;
    std::vector<std::string> positional_;
    std::map<std::string, std::vector<std::string>> values_;
};

}  // namespace hdaclient

#endif
