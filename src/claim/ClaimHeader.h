// What a claim report says about the person and the claim above its table, and
// the stamp boxes 押印欄 the approvers fill.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class CAppProfile;

struct SClaimHeader {
    QString name;          // 氏名; empty prints a line to fill in by hand, as every field
    QString department;    // 所属
    QString employeeId;    // 社員番号
    QDate date;            // 申請日; null: the day of printing
    QString purpose;       // 目的/用件, one line
    int stampCount = 0;        // stamp boxes, 0 to 4, from the left
    QStringList stampTitles;   // the title of each box; a missing one an empty title

    // The titles of the boxes printed, stampCount of them.
    QStringList StampTitles() const;
};

SClaimHeader ClaimHeaderFrom(const CAppProfile& profile);
void StoreClaimHeader(const SClaimHeader& header, CAppProfile& profile);
