// The history archive from the main window: the "履歴" view of a card, the card
// chooser, taking an entry file in and deleting a card's history.
#pragma once

#include "app/FramePrompts.h"
#include "card/EntryInfo.h"

#include <optional>

class CAppProfile;
class CDocumentCommands;
class CCorvaneForm;
class CHistoryArchive;
class QWidget;

class CHistoryCommands {
public:
    CHistoryCommands(CCorvaneForm& form, CAppProfile& profile, CDocumentCommands& documentCommands,
                     QWidget* parent, const SFramePrompts& prompts);

    void SetArchive(CHistoryArchive* archive);
    CHistoryArchive* Archive() const { return m_pArchive; }

    // Turns the history view on (the card shown, or the card read last, with its
    // whole archive) or off (the list stays until the next read or file).
    // False when the person kept unsaved changes and nothing was switched.
    bool SetHistoryView(bool on);
    // The card chooser; shows the chosen card's history.
    bool ChooseCard();
    // Asks for an entry file and takes its entries into the archive.
    bool ImportFile();
    bool ImportPath(const QString& path);
    // Deletes the shown card's history after the person confirms it.
    bool DeleteShownCard();
    // After the person confirms it: what can be read of the archive goes into a
    // new one, the damaged file is kept aside, and the count is shown.
    bool RecoverArchive();

private:
    // The card whose history to show: the one in the list, else the one read last.
    std::optional<IdmBytes> CurrentCard() const;
    bool Show(const IdmBytes& idm);

    CCorvaneForm& m_form;
    CAppProfile& m_profile;
    CDocumentCommands& m_documentCommands;
    QWidget* m_pParent;
    const SFramePrompts& m_prompts;
    CHistoryArchive* m_pArchive = nullptr;
};
