// The About box: product, version line and a link.
#pragma once

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    // stationDbVersion: the station database's version text, kept with the box.
    explicit CAboutDlg(const QString& stationDbVersion, QWidget* parent = nullptr);

    // "%d.%d.%d.%d" of a dotted version, missing parts 0; empty when it is not one.
    static QString FormatProductVersion(const QString& version);
    // "Voluni Viewer Version x.y.z.w" for the running program.
    static QString VersionLine();

    const QString& StationDbVersion() const { return m_strStationDbVersion; }
    QLabel* Control(int controlId) const;
    // "駅名データ <version>(<date>)", or the text for a database not connected.
    QLabel* StationDataLabel() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* AddText(int controlId, const QString& text, int x, int y, int w, int h);

    QString m_strStationDbVersion;
};
