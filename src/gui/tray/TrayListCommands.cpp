// The tray host's side of kronolab-cli's list commands: the scheduler applies them, the
// windows that show the list follow.
#include "gui/tray/SysTrayIconForm.h"

#include "core/ListCommands.h"

std::optional<QByteArray> TSysTrayIconForm::AnswerListCommand(const QByteArray &request) {
  const std::optional<TListCommand> command = ParseListCommandRequest(request);
  if (!command)
    return std::nullopt;
  if (FOpenEditor)
    return ListCommandAnswer(
        {false, 0,
         QStringLiteral("Das Aktionsfenster von Kronolab ist offen; nach dem Schließen noch "
                        "einmal versuchen."),
         false});
  const TListCommandResult result = FScheduler.ApplyListCommand(*command, FScheduler.Clock());
  // The tooltip's next action and the history's list of actions follow the new list.
  FHintTime = 0;
  ShowHistoryList();
  ApplyInterval(); // the next wake-up follows the changed list
  return ListCommandAnswer(result);
}
