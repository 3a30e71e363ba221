#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace rankmoth::cli {

// The words of a command line checked before the parser sees them, so that a typo is answered with what
// was meant rather than with the parser's own words ("A subcommand is required").

struct OptionWord {
    std::string name;       // "--pages", "-h"
    bool takesValue = true; // the next word is its value unless given as --name=value
    bool once = true;       // given twice is an error
};
struct CommandWords {
    std::string name;
    std::vector<OptionWord> options;
};

// The known word closest to `word` (letter case aside; an edit, a swap of two neighbours or a completion of a
// prefix), or "" when none is close enough to be what was meant.
std::string ClosestWord(const std::string& word, const std::vector<std::string>& known);

// "" when the arguments (without the program name) hold no invalid UTF-8, no unknown command or option and no
// single-value option given twice; otherwise the one line that says what is wrong. `global` options may stand
// before or after the command. Help and version requests are left to the parser.
std::string CheckCommandLine(const std::vector<std::string>& args, const std::vector<OptionWord>& global,
                             const std::vector<CommandWords>& commands);

// The options of a parser and of each of its commands, as CheckCommandLine takes them.
std::vector<OptionWord> OptionWordsOf(const CLI::App& app);
std::vector<CommandWords> CommandWordsOf(const CLI::App& program);

// `bytes` for a message: printable ASCII and valid UTF-8 as they are, every other byte as \xHH.
std::string Escaped(const std::string& bytes);

} // namespace rankmoth::cli
