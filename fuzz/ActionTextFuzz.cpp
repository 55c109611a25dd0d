// libFuzzer target over the parsing of action texts: placeholder expansion, the percent
// rule, the command word and argument splitting and the command-line splitting of a
// program call. Nothing here copies, moves or starts anything.
#include "actions/CommandLineRules.h"
#include "actions/InternalCommands.h"
#include "actions/Placeholders.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const QString input =
      QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  QString text = input;
  ExpandPlaceholders(text, 46362.33691);
  // The percent rule never adds characters.
  if (ResolvePercentSigns(input).size() > input.size())
    std::abort();
  const TCommandText command = SplitCommandWord(text);
  const TCommandArguments args = SplitArguments(command.Arguments);
  if (command.Arguments.isEmpty() && !(args.First + args.Second + args.Remainder).isEmpty())
    std::abort(); // no argument part, no arguments
  const QStringList words = SplitCommandLine(text);
  for (const QString &word : words) {
    // Quotes group and are removed; only one escaped by a backslash stays in a word.
    if (!text.contains(u'\\') && word.contains(u'"'))
      std::abort();
    // Every word, quoted as a chosen file name is, comes back as exactly that one word.
    if (SplitCommandLine(QuoteCommandWord(word)) != QStringList{word})
      std::abort();
  }
  return 0;
}
