// The single document: owns the data set and tells its views what happened by hint number.
#pragma once

#include "document/EntryInfoData.h"

#include <QString>

#include <vector>

class QIODevice;

enum UpdateHint : int {
    HINT_LOADED = 1,       // after a successful load: refill
    HINT_SYNC_ORDER = 2,   // before storing or a card read: write the row order back
    HINT_CLEAR = 3,        // on a new document and before a load: clear
    HINT_DOCUMENT_STATE = 4, // the file name or the modified flag changed
};

class IDocumentView {
public:
    virtual ~IDocumentView() = default;
    virtual void OnUpdate(int hint) = 0;
};

class CCorvaneDoc {
public:
    void AddView(IDocumentView* view);
    void RemoveView(IDocumentView* view);
    void UpdateAllViews(int hint);

    // Loading: hint 3, Load, hint 1. Storing: hint 2, Store. Throws on failure.
    void SerializeLoad(QIODevice& device);
    void SerializeStore(QIODevice& device);
    // Opens or saves a file by path (save through a temporary file in the same
    // folder). Throw CArchiveError, or CFileError for a file that cannot be opened.
    // A file that fails to open leaves the document as it was, unhinted.
    void OnOpenDocument(const QString& path);
    void OnSaveDocument(const QString& path);
    bool OnNewDocument();
    // The file opened or saved last; empty for a new document.
    const QString& GetPathName() const { return m_strPathName; }
    // Forgets the file, so that the next save asks for a name (a card read
    // replaces what the file held).
    void ClearPathName();

    void SetModifiedFlag(bool modified = true);
    bool IsModified() const { return m_bModified; }

    CEntryInfoData m_data;

private:
    // Takes loaded's content in place of the data set, with the load's hints.
    void Adopt(CEntryInfoData& loaded);

    std::vector<IDocumentView*> m_views;
    QString m_strPathName;
    bool m_bModified = false;
};
