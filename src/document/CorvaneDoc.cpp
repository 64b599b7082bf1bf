#include "document/CorvaneDoc.h"

#include "document/ArchiveError.h"
#include "document/OutputFile.h"

#include <QFile>

#include <algorithm>
#include <exception>

void CCorvaneDoc::AddView(IDocumentView* view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void CCorvaneDoc::RemoveView(IDocumentView* view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

void CCorvaneDoc::UpdateAllViews(int hint)
{
    // A copy, so a view may unsubscribe while it is being told.
    const std::vector<IDocumentView*> views = m_views;
    for (IDocumentView* view : views)
        view->OnUpdate(hint);
}

void CCorvaneDoc::SerializeLoad(QIODevice& device)
{
    UpdateAllViews(HINT_CLEAR);
    m_data.Load(device);
    UpdateAllViews(HINT_LOADED);
}

void CCorvaneDoc::SerializeStore(QIODevice& device)
{
    UpdateAllViews(HINT_SYNC_ORDER);
    m_data.Store(device);
}

void CCorvaneDoc::OnOpenDocument(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CFileError(path, file.errorString());
    // An empty regular file is never read: it opens as an empty document. A pipe
    // or a device has no size to go by and is read as a stream. The file is read
    // aside first, so a bad one costs nothing of what is open.
    CEntryInfoData loaded;
    if (!file.isSequential() && file.size() == 0) {
        UpdateAllViews(HINT_CLEAR);
        m_data.Clear();
    } else {
        loaded.Load(file);
        Adopt(loaded);
    }
    m_strPathName = path;
    m_bModified = false;
    UpdateAllViews(HINT_DOCUMENT_STATE);
}

void CCorvaneDoc::Adopt(CEntryInfoData& loaded)
{
    UpdateAllViews(HINT_CLEAR);
    m_data.Clear();
    m_data.m_time = loaded.m_time;
    m_data.m_card = loaded.m_card;
    m_data.m_entries.swap(loaded.m_entries);
    UpdateAllViews(HINT_LOADED);
}

void CCorvaneDoc::OnSaveDocument(const QString& path)
{
    // The target is replaced only once every byte is written and flushed.
    std::exception_ptr storeError;
    QString reason;
    const bool written = WriteOutputFile(
        path,
        [this, &storeError](QIODevice& device) {
            try {
                SerializeStore(device);
            } catch (const CArchiveError&) {
                storeError = std::current_exception();
                return false;
            }
            return true;
        },
        reason);
    if (!written) {
        // A refused write carries the system's reason ("No space left on device").
        if (!reason.isEmpty() || !storeError)
            throw CFileError(path, reason);
        std::rethrow_exception(storeError);
    }
    m_strPathName = path;
    m_bModified = false;
    UpdateAllViews(HINT_DOCUMENT_STATE);
}

bool CCorvaneDoc::OnNewDocument()
{
    m_strPathName.clear();
    m_bModified = false;
    UpdateAllViews(HINT_CLEAR);
    UpdateAllViews(HINT_DOCUMENT_STATE);
    return true;
}

void CCorvaneDoc::ClearPathName()
{
    if (m_strPathName.isEmpty())
        return;
    m_strPathName.clear();
    UpdateAllViews(HINT_DOCUMENT_STATE);
}

void CCorvaneDoc::SetModifiedFlag(bool modified)
{
    if (modified == m_bModified)
        return;
    m_bModified = modified;
    UpdateAllViews(HINT_DOCUMENT_STATE);
}
