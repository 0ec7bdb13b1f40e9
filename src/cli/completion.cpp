#include "cli/completion.h"

#include <CLI/CLI.hpp>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "camera/command_table.h"
#include "camera/feature_catalogue.h"
#include "cli/subcommands.h"
#include "sim/model_kind.h"

namespace ctrl::cli {
namespace {

std::vector<std::string> FeatureLabels() {
  std::vector<std::string> labels;
  for (const Feature& feature : Features()) {
    labels.emplace_back(CommandTable::FeatureLabel(feature.command_id));
  }
  return labels;
}

// The words of a CLI::IsMember check, as its description shows them: "TEXT:{read,write}".
std::vector<std::string> MemberWords(std::string_view type_name) {
  const size_t open = type_name.find(":{");
  const size_t close = type_name.rfind('}');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return {};
  std::vector<std::string> words;
  std::string_view list = type_name.substr(open + 2, close - open - 2);
  while (!list.empty()) {
    const size_t comma = list.find(',');
    words.emplace_back(list.substr(0, comma));
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return words;
}

CompletedValue ValueOf(const CLI::Option& option) {
  const std::string type_name = option.get_type_name();
  CompletedValue value;
  if (type_name.starts_with(kFeatureValue)) {
    value.words = FeatureLabels();
  } else if (type_name.starts_with(kModelValue)) {
    value.words = sim::ModelNames();
  } else if (type_name.starts_with(kFileValue)) {
    value.files = true;
  } else {
    value.words = MemberWords(type_name);
  }
  return value;
}

CompletedOption OptionOf(const CLI::Option& option) {
  CompletedOption completed;
  for (const std::string& name : option.get_snames()) completed.names.push_back("-" + name);
  for (const std::string& name : option.get_lnames()) completed.names.push_back("--" + name);
  completed.help = option.get_description();
  completed.takes_value = option.get_expected_max() > 0 && option.get_type_size_max() > 0;
  completed.value_optional = completed.takes_value && option.get_expected_min() == 0;
  if (completed.takes_value) completed.value = ValueOf(option);
  return completed;
}

void AddOptionsAndPositionals(const CLI::App& app, std::vector<CompletedOption>& options,
                              std::vector<CompletedValue>* positionals) {
  for (const CLI::Option* option : app.get_options()) {
    if (option->nonpositional()) {
      options.push_back(OptionOf(*option));
    } else if (positionals != nullptr) {
      positionals->push_back(ValueOf(*option));
    }
  }
}

// Single-quoted for a shell.
std::string Quoted(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string Joined(const std::vector<std::string>& words, const std::string& separator) {
  std::string text;
  for (size_t i = 0; i < words.size(); ++i) text += (i > 0 ? separator : "") + words[i];
  return text;
}

std::string QuotedWords(const std::vector<std::string>& words) {
  std::vector<std::string> quoted;
  for (const std::string& word : words) quoted.push_back(Quoted(word));
  return Joined(quoted, " ");
}

// A bash case pattern matching any of the words; one that matches nothing for none.
std::string CasePattern(const std::vector<std::string>& words) {
  if (words.empty()) return "''";
  std::vector<std::string> quoted;
  for (const std::string& word : words) quoted.push_back(Quoted(word));
  return Joined(quoted, "|");
}

// Word lists get one function each in the scripts; the same list is written once.
class WordLists {
 public:
  std::string NameOf(const std::vector<std::string>& words) {
    auto [it, added] = names_.try_emplace(words, "");
    if (added) it->second = "_ctrltool_cli_words_" + std::to_string(names_.size());
    return it->second;
  }
  const std::map<std::vector<std::string>, std::string>& lists() const { return names_; }

 private:
  std::map<std::vector<std::string>, std::string> names_;
};

// bash: "<command> <option>" and "<command> <position>" (the command empty for the global
// options) name each value; a value prints its words one a line, and "@files" for file names.
void WriteBashValue(std::ostream& out, const std::string& key, const CompletedValue& value,
                    WordLists& lists) {
  if (value.words.empty() && !value.files) return;
  out << "    " << Quoted(key) << ") ";
  if (!value.words.empty()) out << lists.NameOf(value.words) << "; ";
  if (value.files) out << "echo @files; ";
  out << ";;\n";
}

void WriteBashOptionValues(std::ostream& out, const std::string& command,
                           const std::vector<CompletedOption>& options, WordLists& lists) {
  for (const CompletedOption& option : options) {
    if (!option.takes_value) continue;
    for (const std::string& name : option.names) {
      WriteBashValue(out, command + " " + name, option.value, lists);
    }
  }
}

std::vector<std::string> OptionNames(const std::vector<CompletedOption>& options, int value) {
  std::vector<std::string> names;
  for (const CompletedOption& option : options) {
    const int kind = !option.takes_value ? 0 : option.value_optional ? 2 : 1;
    if (value >= 0 && kind != value) continue;
    names.insert(names.end(), option.names.begin(), option.names.end());
  }
  return names;
}

// zsh: text inside an _arguments description, where brackets and colons delimit.
std::string ZshDescription(std::string_view text) {
  std::string plain;
  for (const char c : text) {
    if (c == '[') {
      plain += '(';
    } else if (c == ']') {
      plain += ')';
    } else if (c == ':') {
      plain += " -";
    } else if (c != '\\') {
      plain += c;
    }
  }
  return plain;
}

std::string ZshAction(const CompletedValue& value, WordLists& lists) {
  if (!value.words.empty()) return lists.NameOf(value.words) + (value.files ? " && _files" : "");
  return value.files ? "_files" : " ";
}

std::string ZshOptionDefinition(const CompletedOption& option, WordLists& lists) {
  std::string definition;
  if (option.names.size() > 1)
    definition += "'(" + Joined(option.names, " ") + ")'{" + Joined(option.names, ",") + "}";
  std::string rest = "[" + ZshDescription(option.help) + "]";
  if (option.takes_value) {
    rest += option.value_optional ? "::" : ":";
    rest += "value:" + ZshAction(option.value, lists);
  }
  if (option.names.size() > 1) return definition + Quoted(rest);
  return Quoted(option.names.front() + rest);
}

}  // namespace

const std::vector<std::string>& CompletionShells() {
  static const std::vector<std::string> shells = {"bash", "zsh"};
  return shells;
}

CompletionModel CompletionModelOf(const CLI::App& app) {
  CompletionModel model;
  model.program = app.get_name();
  AddOptionsAndPositionals(app, model.options, nullptr);
  // Subcommands without a group are hidden from the help, and so from the completions.
  for (const CLI::App* sub :
       app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); })) {
    CompletedCommand command;
    command.name = sub->get_name();
    command.help = sub->get_description();
    AddOptionsAndPositionals(*sub, command.options, &command.positionals);
    model.commands.push_back(std::move(command));
  }
  return model;
}

std::string BashCompletion(const CompletionModel& model) {
  WordLists lists;
  std::ostringstream values;
  std::ostringstream options;
  std::ostringstream takes_value;
  WriteBashOptionValues(values, "", model.options, lists);
  options << "    '') echo " << QuotedWords(OptionNames(model.options, -1)) << " ;;\n";
  std::vector<std::string> required = OptionNames(model.options, 1);
  std::vector<std::string> optional = OptionNames(model.options, 2);
  std::vector<std::string> command_names;
  for (const CompletedCommand& command : model.commands) {
    command_names.push_back(command.name);
    WriteBashOptionValues(values, command.name, command.options, lists);
    for (size_t i = 0; i < command.positionals.size(); ++i) {
      WriteBashValue(values, command.name + " " + std::to_string(i + 1), command.positionals[i],
                     lists);
    }
    options << "    " << Quoted(command.name) << ") echo "
            << QuotedWords(OptionNames(command.options, -1)) << " ;;\n";
    for (const std::string& name : OptionNames(command.options, 1)) {
      required.push_back(command.name + " " + name);
    }
  }
  for (std::string& name : required) {
    if (name.starts_with("-")) name = " " + name;
  }
  for (std::string& name : optional) name = " " + name;

  std::ostringstream out;
  out << "# bash completion for " << model.program << "; written by `" << model.program
      << " completion bash`.\n\n";
  for (const auto& [words, name] : lists.lists()) {
    out << name << "() { printf '%s\\n' " << QuotedWords(words) << "; }\n";
  }
  out << "\n_ctrltool_cli_commands=(" << QuotedWords(command_names) << ")\n\n"
      << "# The words a value may take: \"<command> <option>\" or \"<command> <position>\".\n"
      << "_ctrltool_cli_value() {\n  case $1 in\n"
      << values.str() << "  esac\n}\n\n"
      << "# 1 when the option takes a value, 2 when it may, 0 for a flag.\n"
      << "_ctrltool_cli_option_kind() {\n  case $1 in\n"
      << "    " << CasePattern(required) << ") return 1 ;;\n"
      << "    " << CasePattern(optional) << ") return 2 ;;\n"
      << "  esac\n  return 0\n}\n\n"
      << "_ctrltool_cli_options() {\n  case $1 in\n"
      << options.str() << "  esac\n}\n\n";
  std::string text = out.str();
  text += R"bash(_ctrltool_cli_is_command() {
  local name
  for name in "${_ctrltool_cli_commands[@]}"; do
    [[ $name == "$1" ]] && return 0
  done
  return 1
}

_ctrltool_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} command= position=0 i=1 word pending=0
  local IFS=$'\n'
  # What was typed, without the quoting a shell word carries.
  cur=${cur//\\ / }
  cur=${cur#[\"\']}
  while (( i < COMP_CWORD )); do
    word=${COMP_WORDS[i]}
    if (( pending )); then
      # A value that may be left out is not taken from a subcommand's name or an option.
      if (( pending == 1 )) || { [[ $word != -* ]] && ! _ctrltool_cli_is_command "$word"; }; then
        pending=0
        (( i++ ))
        continue
      fi
      pending=0
    fi
    if [[ $word == -* ]]; then
      _ctrltool_cli_option_kind "$command $word"
      pending=$?
    elif [[ -z $command ]]; then
      command=$word
    else
      (( position++ ))
    fi
    (( i++ ))
  done

  local key= candidates=
  if (( pending )); then
    key="$command ${COMP_WORDS[COMP_CWORD-1]}"
  elif [[ $cur == -* ]]; then
    candidates=$(_ctrltool_cli_options "$command")
    COMPREPLY=($(IFS=' '; compgen -W "$candidates" -- "$cur"))
    return 0
  elif [[ -n $command ]]; then
    key="$command $((position + 1))"
  fi
  if [[ -n $key ]]; then
    candidates=$(_ctrltool_cli_value "$key")
  fi
  if [[ -z $command ]] && (( pending != 1 )); then
    candidates+=$'\n'$(printf '%s\n' "${_ctrltool_cli_commands[@]}")
  fi
  COMPREPLY=()
  if [[ $candidates == *@files* ]]; then
    candidates=${candidates//@files/}
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
  COMPREPLY+=($(compgen -W "$candidates" -- "$cur"))
  # Readline quotes what it inserts (labels have blanks).
  compopt -o filenames 2>/dev/null
  return 0
}
complete -F _ctrltool_cli )bash";
  text += model.program + "\n";
  return text;
}

std::string ZshCompletion(const CompletionModel& model) {
  WordLists lists;
  std::ostringstream arguments;
  for (const CompletedOption& option : model.options) {
    arguments << "    " << ZshOptionDefinition(option, lists) << " \\\n";
  }
  std::ostringstream commands;
  std::ostringstream cases;
  for (const CompletedCommand& command : model.commands) {
    commands << "    " << Quoted(command.name + ":" + command.help) << "\n";
    cases << "        " << Quoted(command.name) << ")\n          _arguments";
    for (const CompletedOption& option : command.options) {
      cases << " \\\n            " << ZshOptionDefinition(option, lists);
    }
    for (size_t i = 0; i < command.positionals.size(); ++i) {
      cases << " \\\n            "
            << Quoted(std::to_string(i + 1) + ":value:" + ZshAction(command.positionals[i], lists));
    }
    cases << " ;;\n";
  }

  std::ostringstream out;
  out << "#compdef " << model.program << "\n"
      << "# zsh completion for " << model.program << "; written by `" << model.program
      << " completion zsh`.\n\n";
  for (const auto& [words, name] : lists.lists()) {
    out << name << "() {\n  local -a words\n  words=(" << QuotedWords(words)
        << ")\n  compadd -a words\n}\n";
  }
  out << "\n_ctrltool_cli() {\n  local curcontext=$curcontext state line\n"
      << "  local -a commands\n  commands=(\n"
      << commands.str() << "  )\n"
      << "  _arguments -C \\\n"
      << arguments.str() << "    '1:command:->command' \\\n    '*::argument:->argument'\n"
      << "  case $state in\n"
      << "    command) _describe -t commands 'command' commands ;;\n"
      << "    argument)\n      case $words[1] in\n"
      << cases.str() << "      esac ;;\n  esac\n}\n\n"
      << "_ctrltool_cli \"$@\"\n";
  return out.str();
}

Subcommand AddCompletion(CLI::App& app) {
  auto shell = std::make_shared<std::string>();
  // No group: left out of the help and of the completions themselves.
  CLI::App* parser = app.add_subcommand("completion", "Write the shell completion script");
  parser->group("");
  parser->add_option("shell", *shell, "bash or zsh")
      ->required()
      ->check(CLI::IsMember(CompletionShells()));
  return {parser,
          [parser, shell](Session& session) {
            const CompletionModel model = CompletionModelOf(*parser->get_parent());
            session.out() << (*shell == "zsh" ? ZshCompletion(model) : BashCompletion(model));
            return kExitOk;
          },
          /*needs_camera=*/false};
}

}  // namespace ctrl::cli
