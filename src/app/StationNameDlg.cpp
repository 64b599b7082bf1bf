#include "app/StationNameDlg.h"

#include "card/AppMessage.h"
#include "resources/StringTable.h"
#include "view/CorvaneForm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {

QString CodeText(const SStationKey& key)
{
    return LoadResString(key.kind == EStationKind::Bus ? IDS_NAMES_BUS_CODE : IDS_NAMES_RAIL_CODE).arg(key.Text());
}

} // namespace

CStationNameDlg::CStationNameDlg(std::vector<SSide> sides, QWidget* parent)
    : QDialog(parent)
    , m_sides(std::move(sides))
    , m_pSide(new QComboBox(this))
    , m_pCode(new QLabel(this))
    , m_pCompany(new QLineEdit(this))
    , m_pLine(new QLineEdit(this))
    , m_pStation(new QLineEdit(this))
    , m_pRemove(new QPushButton(LoadResString(IDS_NAMES_REMOVE), this))
    , m_pProblem(new QLabel(this))
{
    setWindowTitle(LoadResString(IDS_NAMES_CAPTION));
    for (const SSide& side : m_sides)
        m_pSide->addItem(LoadResString(side.side == EEntrySide::Entry ? IDS_NAMES_ENTRY_SIDE : IDS_NAMES_EXIT_SIDE));
    m_pSide->setEnabled(m_sides.size() > 1);
    m_pProblem->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(LoadResString(IDS_NAMES_SIDE), m_pSide);
    form->addRow(LoadResString(IDS_NAMES_CODE), m_pCode);
    form->addRow(LoadResString(IDS_NAMES_COMPANY), m_pCompany);
    form->addRow(LoadResString(IDS_NAMES_LINE), m_pLine);
    form->addRow(LoadResString(IDS_NAMES_STATION), m_pStation);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(LoadResString(IDS_CSVOPT_OK));
    buttons->button(QDialogButtonBox::Cancel)->setText(LoadResString(IDS_CSVOPT_CANCEL));
    buttons->addButton(m_pRemove, QDialogButtonBox::DestructiveRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pRemove, &QPushButton::clicked, this, [this] {
        m_choice = EChoice::Remove;
        QDialog::accept();
    });
    connect(m_pSide, &QComboBox::currentIndexChanged, this, &CStationNameDlg::ShowSide);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pProblem);
    layout->addWidget(buttons);
    // The exit side is the one a person goes to, so it comes first to hand.
    m_pSide->setCurrentIndex(static_cast<int>(m_sides.size()) - 1);
    ShowSide(m_pSide->currentIndex());
    m_pStation->setFocus();
    resize(360, sizeHint().height());
}

void CStationNameDlg::ShowSide(int index)
{
    if (index < 0 || index >= static_cast<int>(m_sides.size()))
        return;
    const SSide& side = m_sides.at(static_cast<size_t>(index));
    m_pCode->setText(CodeText(side.key));
    m_pCompany->setText(side.shown.company);
    m_pLine->setText(side.shown.line);
    m_pStation->setText(side.shown.station);
    m_pRemove->setEnabled(side.bOwnName);
    m_pRemove->setToolTip(side.bOwnName ? LoadResString(IDS_NAMES_OWN) : QString());
    m_pProblem->clear();
}

SUserName CStationNameDlg::Name() const
{
    const int index = m_pSide->currentIndex();
    SUserName name;
    if (index >= 0 && index < static_cast<int>(m_sides.size()))
        name.key = m_sides.at(static_cast<size_t>(index)).key;
    name.company = m_pCompany->text();
    name.line = m_pLine->text();
    name.station = m_pStation->text();
    return CUserNames::Normalized(name);
}

QString CStationNameDlg::Problem() const
{
    const SUserName name = Name();
    if (name.station.isEmpty())
        return LoadResString(IDS_NAMES_EMPTY_STATION);
    for (const auto& [label, text] : {std::pair{IDS_NAMES_COMPANY, name.company},
                                      std::pair{IDS_NAMES_LINE, name.line},
                                      std::pair{IDS_NAMES_STATION, name.station}}) {
        if (!CUserNames::ControlCharacter(text).isNull())
            return LoadResString(IDS_NAMES_CONTROL_CHARACTER).arg(LoadResString(label));
    }
    return {};
}

void CStationNameDlg::accept()
{
    // The dialog stays open with the reason until the name can be kept.
    const QString problem = Problem();
    if (!problem.isEmpty()) {
        m_pProblem->setText(problem);
        return;
    }
    m_choice = EChoice::Keep;
    QDialog::accept();
}

std::vector<CStationNameDlg::SSide> StationNameSides(const CEntryInfo& entry, const CUserNames& names)
{
    std::vector<CStationNameDlg::SSide> sides;
    for (const EEntrySide side : {EEntrySide::Entry, EEntrySide::Exit}) {
        const std::optional<SStationKey> key = StationKeyOf(entry, side);
        if (key)
            sides.push_back({side, *key, SideNames(entry, side), names.Find(*key) != nullptr});
    }
    return sides;
}

bool EditStationName(QWidget* parent, CCorvaneForm& form, CUserNames& names)
{
    const CEntryInfo* entry = form.CurrentEntry();
    if (!entry) {
        ShowAppMessage(LoadResString(IDS_NAMES_NO_ROW), MessageIcon::Information);
        return false;
    }
    // What another program kept since counts too.
    if (!names.Load()) {
        ShowFailureWithReason(LoadResString(IDS_NAMES_UNREADABLE), names.LastError());
        return false;
    }
    std::vector<CStationNameDlg::SSide> sides = StationNameSides(*entry, names);
    if (sides.empty()) {
        ShowAppMessage(LoadResString(IDS_NAMES_NO_CODE), MessageIcon::Information);
        return false;
    }
    CStationNameDlg dialog(std::move(sides), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const SUserName name = dialog.Name();
    const bool kept = dialog.Choice() == CStationNameDlg::EChoice::Remove ? names.Remove(name.key) : names.Set(name);
    if (!kept) {
        ShowFailureWithReason(LoadResString(IDS_NAMES_WRITE_FAILED), names.LastError());
        return false;
    }
    form.RenameStation(name.key);
    return true;
}
