#include "app/DocumentCommands.h"

#include "app/RecentFileList.h"
#include "document/ArchiveError.h"
#include "document/CorvaneDoc.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFileInfo>

#include <exception>

namespace {

// "交通費 (*.ent)" from the document template.
QString EntryFileFilter()
{
    return ResStringField(IDR_MAINFRAME, 3);
}

QString EntryFileSuffix()
{
    return ResStringField(IDR_MAINFRAME, 4);
}

} // namespace

CDocumentCommands::CDocumentCommands(CCorvaneDoc& document, QWidget* parent, const SFramePrompts& prompts)
    : m_document(document)
    , m_pParent(parent)
    , m_prompts(prompts)
{
}

bool CDocumentCommands::SaveModified()
{
    if (!m_document.IsModified())
        return true;
    switch (m_prompts.askSaveChanges(m_pParent)) {
    case SaveAnswer::Save:
        return Save();
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

bool CDocumentCommands::Open()
{
    if (!SaveModified())
        return false;
    const QString folder = m_document.GetPathName().isEmpty()
        ? DefaultDocumentFolder()
        : QFileInfo(m_document.GetPathName()).absolutePath();
    const QString path = m_prompts.openFileName(m_pParent, ResStringField(ID_FILE_OPEN, 1), folder, EntryFileFilter());
    return !path.isEmpty() && Load(path);
}

bool CDocumentCommands::OpenPath(const QString& path)
{
    return SaveModified() && Load(path);
}

bool CDocumentCommands::Load(const QString& path)
{
    // A file that fails leaves the document, and whether it has changes, as it was.
    try {
        m_document.OnOpenDocument(path);
    } catch (...) {
        ReportDocumentError(std::current_exception(), false);
        return false;
    }
    if (m_pRecentFiles)
        m_pRecentFiles->Add(path);
    return true;
}

bool CDocumentCommands::Save()
{
    const QString path = m_document.GetPathName();
    return path.isEmpty() ? SaveAs() : SaveTo(path);
}

bool CDocumentCommands::SaveAs()
{
    QString path = m_prompts.saveFileName(m_pParent, ResStringField(ID_FILE_SAVE_AS, 1), ProposedPath(),
                                          EntryFileFilter());
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += EntryFileSuffix();
    return SaveTo(path);
}

bool CDocumentCommands::CanSave() const
{
    return !m_document.m_data.m_entries.empty();
}

bool CDocumentCommands::SaveTo(const QString& path)
{
    try {
        m_document.OnSaveDocument(path);
    } catch (...) {
        // The old file stays whole: the new one replaces it only once written.
        ReportDocumentError(std::current_exception(), true);
        return false;
    }
    if (m_pRecentFiles)
        m_pRecentFiles->Add(path);
    return true;
}

QString CDocumentCommands::ProposedPath() const
{
    if (!m_document.GetPathName().isEmpty())
        return m_document.GetPathName();
    const QDir documents(DefaultDocumentFolder());
    return documents.filePath(ResStringField(IDR_MAINFRAME, 1) + EntryFileSuffix());
}
