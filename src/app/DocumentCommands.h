// Opening and saving entry files from the main window, the recent-file list and
// the question about unsaved changes.
#pragma once

#include "app/FramePrompts.h"

#include <QString>

class CCorvaneDoc;
class CRecentFileList;
class QWidget;

class CDocumentCommands {
public:
    CDocumentCommands(CCorvaneDoc& document, QWidget* parent, const SFramePrompts& prompts);

    // The list the opened and saved files go to; none by default.
    void SetRecentFiles(CRecentFileList* recentFiles) { m_pRecentFiles = recentFiles; }
    CRecentFileList* RecentFiles() const { return m_pRecentFiles; }

    // Whether the document's content may go: unchanged, saved, or given up by
    // the person. False when the person cancelled or the save failed.
    bool SaveModified();
    // Asks for a file and opens it (after SaveModified); false when nothing was opened.
    bool Open();
    // Opens path after SaveModified; a file that fails is reported and the open
    // document stays as it was.
    bool OpenPath(const QString& path);
    // Saves to the open file, or asks for a name when there is none.
    bool Save();
    bool SaveAs();
    // There is something to store: an entry file holds at least one entry.
    bool CanSave() const;

private:
    bool SaveTo(const QString& path);
    bool Load(const QString& path);
    QString ProposedPath() const;

    CCorvaneDoc& m_document;
    QWidget* m_pParent;
    const SFramePrompts& m_prompts;
    CRecentFileList* m_pRecentFiles = nullptr;
};
