#include "PdfText.h"

#include <QProcess>
#include <QRegularExpression>

namespace {

QString Run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

QString PdfText(const QString& path, int first, int last)
{
    QStringList args{QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (first > 0)
        args << QStringLiteral("-f") << QString::number(first) << QStringLiteral("-l") << QString::number(last);
    return Run(QStringLiteral(VOLUNI_PDFTOTEXT), args << path << QStringLiteral("-"));
}

int PdfPageCount(const QString& path)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
            .match(Run(QStringLiteral(VOLUNI_PDFINFO), {path}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString PdfFonts(const QString& path)
{
    return Run(QStringLiteral(VOLUNI_PDFFONTS), {path});
}

bool PdfToPng(const QString& path, const QString& prefix)
{
    return QProcess::execute(QStringLiteral(VOLUNI_PDFTOPPM), {QStringLiteral("-png"), QStringLiteral("-r"),
                                                               QStringLiteral("60"), path, prefix}) == 0;
}
