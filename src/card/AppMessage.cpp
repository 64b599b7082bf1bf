#include "card/AppMessage.h"

#include <cstdio>
#include <utility>

namespace {

void WriteToStandardError(const QString& text, MessageIcon)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

MessagePresenter& Presenter()
{
    static MessagePresenter presenter = WriteToStandardError;
    return presenter;
}

} // namespace

void ShowAppMessage(const QString& text, MessageIcon icon)
{
    Presenter()(text, icon);
}

void ShowFailureWithReason(const QString& text, const QString& reason)
{
    ShowAppMessage(text + QLatin1Char('\n') + reason, MessageIcon::Exclamation);
}

MessagePresenter SetMessagePresenter(MessagePresenter presenter)
{
    if (!presenter)
        presenter = WriteToStandardError;
    return std::exchange(Presenter(), std::move(presenter));
}
