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

QString PdfTextAs(const QString& mode, const QString& path, int first, int last)
{
    QStringList args{mode, QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (first > 0)
        args << QStringLiteral("-f") << QString::number(first) << QStringLiteral("-l") << QString::number(last);
    return Run(QStringLiteral(VOLUNI_PDFTOTEXT), args << path << QStringLiteral("-"));
}

} // namespace

QString PdfText(const QString& path, int first, int last)
{
    return PdfTextAs(QStringLiteral("-layout"), path, first, last);
}

QString PdfRawText(const QString& path, int first, int last)
{
    return PdfTextAs(QStringLiteral("-raw"), path, first, last);
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

bool PdfToPng(const QString& path, const QString& prefix, int dotsPerInch)
{
    return QProcess::execute(QStringLiteral(VOLUNI_PDFTOPPM), {QStringLiteral("-png"), QStringLiteral("-r"),
                                                               QString::number(dotsPerInch), path, prefix}) == 0;
}
