// The one way any part of the program shows a message to the user. Each program
// installs its presenter: message boxes in the viewer, standard error in the
// command-line tool, a recorder in tests.
#pragma once

#include <QString>

#include <functional>

enum class MessageIcon { Exclamation, Stop, Information };

using MessagePresenter = std::function<void(const QString& text, MessageIcon icon)>;

void ShowAppMessage(const QString& text, MessageIcon icon = MessageIcon::Exclamation);
// A failure: what could not be done, then on a line of its own why.
void ShowFailureWithReason(const QString& text, const QString& reason);

// Installs presenter and returns the one it replaces; an empty presenter
// restores the default, which writes to standard error.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);
