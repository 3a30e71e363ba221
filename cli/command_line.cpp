#include "cli/command_line.h"

#include "base/safe_text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>

namespace rankmoth::cli {

namespace {

std::string Lower(std::string word) {
    for (char& c : word) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return word;
}

// Edits (insert, delete, replace, swap of neighbours) from `a` to `b`.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::string Quoted(const std::string& word) {
    return "\"" + Escaped(word) + "\"";
}

std::string Suggestion(const std::string& word, const std::vector<std::string>& known) {
    const std::string closest = ClosestWord(word, known);
    return closest.empty() ? std::string() : "; did you mean " + Quoted(closest) + "?";
}

const OptionWord* Find(const std::vector<OptionWord>& options, const std::string& name) {
    for (const OptionWord& option : options) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

bool AsksForHelp(const std::string& arg) {
    return arg == "-h" || arg == "--help" || arg == "--version";
}

} // namespace

std::string ClosestWord(const std::string& word, const std::vector<std::string>& known) {
    const auto bare = [](const std::string& w) {
        return Lower(w.substr(std::min(w.find_first_not_of('-'), w.size())));
    };
    const std::string typed = bare(word);
    if (typed.empty())
        return {};
    std::string best;
    std::size_t bestDistance = 0;
    for (const std::string& candidate : known) {
        const std::string name = bare(candidate);
        std::size_t distance = Distance(typed, name);
        // A cut-short name is what was meant even when much is missing: "--cat" for "--category".
        if (typed.size() >= 2 && name.rfind(typed, 0) == 0)
            distance = 1;
        // Two edits are a typo in a long word; in a short one they make another word.
        const std::size_t allowed = name.size() <= 4 ? 1 : 2;
        if (distance <= allowed && (best.empty() || distance < bestDistance)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::string CheckCommandLine(const std::vector<std::string>& args, const std::vector<OptionWord>& global,
                             const std::vector<CommandWords>& commands) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!base::IsValidUtf8(args[i]))
            return "argument " + std::to_string(i + 1) + " is not valid UTF-8: " + Quoted(args[i]);
    }
    if (std::any_of(args.begin(), args.end(), AsksForHelp))
        return {};

    const CommandWords* command = nullptr;
    std::map<std::string, int> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--")
            break;
        if (arg.size() > 1 && arg[0] == '-') {
            const std::string name = arg.substr(0, arg.find('='));
            const OptionWord* option = command ? Find(command->options, name) : nullptr;
            if (!option)
                option = Find(global, name);
            if (!option) {
                std::vector<std::string> known;
                for (const auto* list : {command ? &command->options : nullptr, &global}) {
                    for (std::size_t k = 0; list && k < list->size(); ++k)
                        known.push_back((*list)[k].name);
                }
                return "unknown option " + Quoted(name) + (command ? " for " + command->name : std::string()) +
                       Suggestion(name, known);
            }
            if (option->once && ++given[option->name] == 2)
                return option->name + " is given twice; it takes one value";
            if (option->takesValue && name.size() == arg.size())
                ++i;
            continue;
        }
        if (command)
            continue; // a stray word: the parser names it
        for (const CommandWords& candidate : commands) {
            if (candidate.name == arg)
                command = &candidate;
        }
        if (!command) {
            std::vector<std::string> known;
            std::string list;
            for (const CommandWords& candidate : commands) {
                known.push_back(candidate.name);
                list += (list.empty() ? "" : ", ") + candidate.name;
            }
            const std::string suggestion = Suggestion(arg, known);
            return "unknown command " + Quoted(arg) + (suggestion.empty() ? "; the commands are " + list : suggestion);
        }
    }
    if (!command) {
        std::string list;
        for (const CommandWords& candidate : commands)
            list += (list.empty() ? "" : ", ") + candidate.name;
        return "a command is required: " + list;
    }
    return {};
}

std::vector<OptionWord> OptionWordsOf(const CLI::App& app) {
    std::vector<OptionWord> words;
    for (const CLI::Option* option : app.get_options()) {
        const bool takesValue = option->get_type_size_max() > 0;
        const bool once = takesValue && option->get_multi_option_policy() == CLI::MultiOptionPolicy::Throw;
        for (const std::string& name : option->get_lnames())
            words.push_back({"--" + name, takesValue, once});
        for (const std::string& name : option->get_snames())
            words.push_back({"-" + name, takesValue, once});
    }
    return words;
}

std::vector<CommandWords> CommandWordsOf(const CLI::App& program) {
    std::vector<CommandWords> commands;
    // A command's own commands (history migrate) lend it their options: their names are words after it.
    for (const CLI::App* command : program.get_subcommands([](const CLI::App*) { return true; })) {
        CommandWords words{command->get_name(), OptionWordsOf(*command)};
        for (const CLI::App* inner : command->get_subcommands([](const CLI::App*) { return true; })) {
            for (OptionWord& option : OptionWordsOf(*inner)) {
                if (std::none_of(words.options.begin(), words.options.end(),
                                 [&](const OptionWord& held) { return held.name == option.name; }))
                    words.options.push_back(std::move(option));
            }
        }
        commands.push_back(std::move(words));
    }
    return commands;
}

std::string Escaped(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x80) {
            // A valid sequence stays as it is; each byte of an invalid one is shown.
            std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            if (length > 1 && i + length <= bytes.size() &&
                base::IsValidUtf8(std::string_view(bytes).substr(i, length))) {
                out.append(bytes, i, length);
                i += length - 1;
                continue;
            }
        }
        if (byte < 0x20 || byte >= 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

} // namespace rankmoth::cli
