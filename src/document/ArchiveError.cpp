#include "document/ArchiveError.h"

#include "card/AppMessage.h"
#include "resources/StringTable.h"


namespace {

const char* KindName(CArchiveError::Kind kind)
{
    switch (kind) {
    case CArchiveError::Kind::NoCause:
        return "archive error: no cause";
    case CArchiveError::Kind::Generic:
        return "archive error: generic";
    case CArchiveError::Kind::EndOfFile:
        return "archive error: end of file";
    case CArchiveError::Kind::BadIndex:
        return "archive error: bad index";
    }
    return "archive error";
}

}  // namespace

CArchiveError::CArchiveError(Kind kind)
    : std::runtime_error(KindName(kind))
    , m_kind(kind)
{
}

CFileError::CFileError(const QString& path, const QString& reason)
    : std::runtime_error((path + QStringLiteral(": ") + reason).toStdString())
    , m_strPath(path)
    , m_strReason(reason)
{
}

QString DocumentErrorText(std::exception_ptr error, bool bSaving)
{
    const QString general = LoadResString(bSaving ? AFX_IDP_FAILED_TO_SAVE_DOC : AFX_IDP_FAILED_TO_OPEN_DOC);
    if (!error)
        return general;
    try {
        std::rethrow_exception(error);
    } catch (const CArchiveError& e) {
        // A truncated file and an unknown header both mean the file is not ours.
        if (e.GetKind() == CArchiveError::Kind::EndOfFile || e.GetKind() == CArchiveError::Kind::BadIndex)
            return LoadResString(AFX_IDP_FAILED_INVALID_FORMAT);
        return general;
    } catch (const CFileError& e) {
        return general + QLatin1Char('\n') + e.GetPath() + QStringLiteral(": ") + e.GetReason();
    } catch (...) {
        return general;
    }
}

void ReportDocumentError(std::exception_ptr error, bool bSaving)
{
    ShowAppMessage(DocumentErrorText(std::move(error), bSaving), MessageIcon::Exclamation);
}
