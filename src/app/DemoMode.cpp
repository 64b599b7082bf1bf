#include "app/DemoMode.h"

#include "card/AppMessage.h"
#include "readers/sim/CardImage.h"
#include "readers/PcscService.h"
#include "readers/sim/SimulatedPcscService.h"
#include "resources/StringTable.h"

#include <memory>

bool ApplyDemoOptions(QStringList& arguments)
{
    QString imagePath;
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (i > 0 && argument == QLatin1String("--demo")) {
            if (imagePath.isEmpty())
                imagePath = kDemoCardImage;
        } else if (i > 0 && argument == QLatin1String("--card-image")) {
            if (i + 1 >= arguments.size()) {
                ShowAppMessage(LoadResString(IDS_CARD_IMAGE_FAILED).arg(argument + QStringLiteral(": ファイル名がありません")));
                return false;
            }
            imagePath = arguments.at(++i);
        } else {
            rest << argument;
        }
    }
    arguments = rest;
    if (imagePath.isEmpty())
        return true;

    CCardImage image;
    if (const QString error = image.LoadFile(imagePath); !error.isEmpty()) {
        ShowAppMessage(LoadResString(IDS_CARD_IMAGE_FAILED).arg(error));
        return false;
    }
    SetPcscService(std::make_shared<CSimulatedPcscService>(image));
    return true;
}
