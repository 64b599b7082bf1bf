#include "claim/ClaimHeader.h"

#include "claim/ClaimPeriod.h"
#include "settings/AppProfile.h"

#include <algorithm>

SClaimHeader ClaimHeaderFrom(const CAppProfile& profile)
{
    SClaimHeader header;
    header.name = profile.m_strReportName;
    header.department = profile.m_strReportDepartment;
    header.employeeId = profile.m_strReportEmployeeId;
    header.date = ParseClaimDate(profile.m_strReportDate);
    header.purpose = profile.m_strReportPurpose;
    header.stampCount = profile.m_nReportStampCount;
    header.stampTitles = profile.m_arrReportStampTitles;
    return header;
}

QStringList SClaimHeader::StampTitles() const
{
    QStringList titles;
    for (int i = 0; i < std::clamp(stampCount, 0, CAppProfile::kMaxReportStamps); ++i)
        titles << stampTitles.value(i);
    return titles;
}

void StoreClaimHeader(const SClaimHeader& header, CAppProfile& profile)
{
    profile.m_strReportName = header.name;
    profile.m_strReportDepartment = header.department;
    profile.m_strReportEmployeeId = header.employeeId;
    profile.m_strReportDate = header.date.isNull() ? QString() : header.date.toString(QStringLiteral("yyyy/MM/dd"));
    profile.m_strReportPurpose = header.purpose;
    profile.m_nReportStampCount = std::clamp(header.stampCount, 0, CAppProfile::kMaxReportStamps);
    profile.m_arrReportStampTitles = header.stampTitles;
}
