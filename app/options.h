#pragma once

#include <QString>

#include <optional>
#include <vector>

// One option of the command line: how it is written, what its value must be, what stands in for
// it when it is not given, and how --help explains it. The parser, the environment reader and
// --help all read this table, so that none of them says something the others do not.
struct Option
{
    enum class Kind
    {
        Flag,
        Text,
        Count,   // a whole number within [least, most]
        Seconds, // a number of seconds within [least, most]
        Number,  // a number within [least, most]
    };
    const char* name;
    Kind kind;
    const char* valueName;    // nullptr for a flag
    double least;             // for numbers
    double most;              // for numbers
    const char* environment;  // the variable read when the option is not given; nullptr if none
    const char* meaning;      // what the variable holds, in a few words, for --help
    double fallback;          // the value without either; NaN when there is none
    const char* fallbackText; // how --help names a default that is no number; else nullptr
    // What --help says; "{range}" stands for "least 到 most" and "{default}" for the default.
    const char* help;
    bool downloadOnly; // meaningful only with --download

    bool isNumber() const
    {
        return kind == Kind::Count || kind == Kind::Seconds || kind == Kind::Number;
    }
};

// Every option, in the order --help lists them.
const std::vector<Option>& allOptions();
// The option called `name`; every name the program uses is in the table.
const Option& optionNamed(const char* name);

// `text` read as the value of a numeric `option`, or no value when it is no such number.
std::optional<double> readNumber(const Option& option, const QString& text);
// What the value of a numeric `option` must be, as the messages say it: "1 到 16 之间的整数".
QString expectedValue(const Option& option);
// The refusal of `text` as the value of `option` given on the command line.
QString badValue(const Option& option, const QString& text);
// The help text of `option`, its range and default filled in.
QString helpOf(const Option& option);

// Whether `text` is a proxy's address libcurl takes: http, https, socks5 or socks5h, with a host.
bool isProxyAddress(const QString& text);
// What a proxy's address must look like, as the messages say it.
QString proxyForm();
// Whether `text` holds a control character, which would end a header line and begin another.
bool hasControlCharacter(const QString& text);

// A numeric setting: `given` on the command line, else the value of the option's variable, else
// its default (no value when it has none). False, and why in `problem`, when the variable holds
// anything else.
bool resolveNumber(const Option& option, std::optional<double>& given, QString* problem);
