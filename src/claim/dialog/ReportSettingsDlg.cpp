#include "claim/dialog/ReportSettingsDlg.h"

#include "resources/StringTable.h"
#include "settings/AppProfile.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QLineEdit* AddLine(QFormLayout& form, int labelId, const QString& text, const char* objectName)
{
    auto* edit = new QLineEdit(text);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setMinimumWidth(260);
    form.addRow(LoadResString(labelId), edit);
    return edit;
}

} // namespace

CReportSettingsDlg::CReportSettingsDlg(const SClaimHeader& header, QDate today, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(LoadResString(IDS_REPORTSET_CAPTION));

    auto* headerBox = new QGroupBox(LoadResString(IDS_REPORTSET_HEADER));
    auto* form = new QFormLayout(headerBox);
    m_pName = AddLine(*form, IDS_REPORT_NAME, header.name, "name");
    m_pDepartment = AddLine(*form, IDS_REPORT_DEPARTMENT, header.department, "department");
    m_pEmployeeId = AddLine(*form, IDS_REPORT_EMPLOYEE_ID, header.employeeId, "employeeId");
    m_pPrintDay = new QCheckBox(LoadResString(IDS_REPORTSET_PRINT_DAY));
    m_pPrintDay->setObjectName(QStringLiteral("printDay"));
    m_pPrintDay->setChecked(header.date.isNull());
    m_pDate = new QDateEdit(header.date.isNull() ? today : header.date);
    m_pDate->setObjectName(QStringLiteral("date"));
    m_pDate->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    m_pDate->setCalendarPopup(true);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(m_pPrintDay);
    dateRow->addWidget(m_pDate, 1);
    form->addRow(LoadResString(IDS_REPORT_CLAIM_DATE), dateRow);
    m_pPurpose = AddLine(*form, IDS_REPORT_PURPOSE, header.purpose, "purpose");

    auto* stampsBox = new QGroupBox(LoadResString(IDS_REPORTSET_STAMPS));
    auto* stampsForm = new QFormLayout(stampsBox);
    m_pStampCount = new QSpinBox;
    m_pStampCount->setObjectName(QStringLiteral("stampCount"));
    m_pStampCount->setRange(0, CAppProfile::kMaxReportStamps);
    m_pStampCount->setValue(header.stampCount);
    stampsForm->addRow(LoadResString(IDS_REPORTSET_STAMP_COUNT), m_pStampCount);
    auto* titles = new QHBoxLayout;
    for (int i = 0; i < CAppProfile::kMaxReportStamps; ++i) {
        auto* title = new QLineEdit(header.stampTitles.value(i));
        title->setObjectName(QStringLiteral("stampTitle%1").arg(i + 1));
        title->setToolTip(LoadResString(IDS_REPORTSET_STAMP_TITLE).arg(i + 1));
        titles->addWidget(title);
        m_stampTitles.push_back(title);
    }
    stampsForm->addRow(titles);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(LoadResString(IDS_CSVOPT_OK), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    buttons->addButton(LoadResString(IDS_CSVOPT_CANCEL), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headerBox);
    layout->addWidget(stampsBox);
    layout->addWidget(buttons);

    connect(m_pPrintDay, &QCheckBox::toggled, this, &CReportSettingsDlg::UpdateFields);
    connect(m_pStampCount, &QSpinBox::valueChanged, this, &CReportSettingsDlg::UpdateFields);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    UpdateFields();
}

SClaimHeader CReportSettingsDlg::Header() const
{
    SClaimHeader header;
    header.name = m_pName->text().simplified();
    header.department = m_pDepartment->text().simplified();
    header.employeeId = m_pEmployeeId->text().simplified();
    header.date = m_pPrintDay->isChecked() ? QDate() : m_pDate->date();
    header.purpose = m_pPurpose->text().simplified();
    header.stampCount = m_pStampCount->value();
    for (const QLineEdit* title : m_stampTitles)
        header.stampTitles << title->text().simplified();
    return header;
}

void CReportSettingsDlg::UpdateFields()
{
    m_pDate->setEnabled(!m_pPrintDay->isChecked());
    for (size_t i = 0; i < m_stampTitles.size(); ++i)
        m_stampTitles[i]->setEnabled(static_cast<int>(i) < m_pStampCount->value());
}

bool EditReportSettings(QWidget* parent, CAppProfile& profile)
{
    CReportSettingsDlg dialog(ClaimHeaderFrom(profile), QDate::currentDate(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    StoreClaimHeader(dialog.Header(), profile);
    return true;
}
