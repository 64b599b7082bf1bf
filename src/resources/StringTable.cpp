#include "resources/StringTable.h"

#include <QHash>
#include <QStringList>

namespace {

const QHash<int, QString>& Table()
{
    static const QHash<int, QString> table = {
        {IDS_OLE_INIT_FAILED,
         QStringLiteral("OLE の初期化に失敗しました。OLE ライブラリのバージョンが正しいことを確認してください。")},
        {IDS_ALREADY_RUNNING, QStringLiteral("すでに起動されています。")},
        {IDS_COL_BALANCE, QStringLiteral("残高")},
        {IDS_COL_DATE, QStringLiteral("日付")},
        {IDS_COL_AMOUNT, QStringLiteral("料金/入金額")},
        {IDS_COL_ENTRY_COMPANY, QStringLiteral("入場会社名")},
        {IDS_COL_ENTRY_LINE, QStringLiteral("入場路線名")},
        {IDS_COL_ENTRY_STATION, QStringLiteral("入場駅名")},
        {IDS_COL_REMARKS, QStringLiteral("備考")},
        {IDS_COL_EXIT_COMPANY, QStringLiteral("出場会社名")},
        {IDS_COL_EXIT_LINE, QStringLiteral("出場路線名")},
        {IDS_COL_EXIT_STATION, QStringLiteral("出場駅名")},
        {IDS_COL_APPLY, QStringLiteral("申請")},
        {IDS_COL_DESTINATION, QStringLiteral("訪問先")},
        {IDS_CARD_READ_FAILED,
         QStringLiteral("カードの読み込みに失敗しました。\n\nカードが正しく置かれていることを確認してください。")},
        {IDS_STATIONDB_CONNECT_FAILED, QStringLiteral("駅名情報データベースの接続に失敗しました。")},
        {IDS_SMARTCARD_SERVICE_STOPPED, QStringLiteral("SmartCardサービスが停止しています。")},
        {IDS_READER_OPEN_FAILED, QStringLiteral("カードリーダーのオープンに失敗しました。")},
        {IDS_PANE_GROUP_VIEW, QStringLiteral("リスト表示設定")},
        {IDS_PANE_IDM, QStringLiteral("IDm")},
        {IDS_PANE_BALANCE, QStringLiteral("残高")},
        {IDS_CARD_READING, QStringLiteral("カード読込中…")},
        {IDS_READER_NOT_CONNECTED, QStringLiteral("カードリーダーが接続されていません。")},
        {IDS_CARD_DETECTING, QStringLiteral("カード検出中…")},
        // Window title, document name, new-file name, filter name, filter
        // extension, file type id, file type name.
        {IDR_MAINFRAME,
         QStringLiteral("Voluni  Viewer - 非接触ICカード表示システム\n交通費情報\n\n交通費 (*.ent)\n.ent\n\n")},
        {ID_CARD_READ, QStringLiteral("カードから交通費情報を読み込みます。\nカード読込")},
        {ID_INDICATOR_IDM, QStringLiteral("\nカードIDm")},
        {ID_INDICATOR_BALANCE, QStringLiteral("\nカード残高")},
        {ID_VIEW_GRID, QStringLiteral("リストの格子表示をします。\nグリッド表示")},
        {ID_VIEW_ZEBRA, QStringLiteral("リストの交互背景表示をします。\nゼブラ表示")},
        {AFX_IDS_APP_TITLE, QStringLiteral("Voluni_Viewer")},
        {ID_APP_EXIT, QStringLiteral("Voluni Viewerを終了します。\n終了")},
        {AFX_IDP_FAILED_TO_OPEN_DOC, QStringLiteral("ドキュメントを開くことに失敗しました。")},
        {AFX_IDP_FAILED_TO_SAVE_DOC, QStringLiteral("ドキュメントの保存に失敗しました。")},
        {AFX_IDP_FAILED_INVALID_FORMAT, QStringLiteral("予期しないファイル形式です。")},
        {IDS_FORM_TOTAL_LABEL, QStringLiteral("合 計")},
        {IDS_FORM_TOTAL_ZERO, QStringLiteral("0円")},
        {IDS_FORM_SHOW_ALL, QStringLiteral("全て表示")},
        {IDS_AMOUNT_YEN, QStringLiteral("%1円")},
        {IDS_MENU_FILE, QStringLiteral("ファイル(&F)")},
        {IDS_MENU_CARD_READ, QStringLiteral("カード読込\tCtrl+R(&R)")},
        {IDS_MENU_EXIT, QStringLiteral("終了(&X)")},
        {IDS_MENU_VIEW, QStringLiteral("表示(&V)")},
        {IDS_MENU_GRID, QStringLiteral("グリッド表示")},
        {IDS_MENU_ZEBRA, QStringLiteral("ゼブラ表示")},
        {IDS_MENU_STATUS_BAR, QStringLiteral("ステータス バー(&S)")},
        {IDS_MENU_HELP, QStringLiteral("ヘルプ(&H)")},
        {IDS_MENU_ABOUT, QStringLiteral("Voluni Viewerのバージョン情報(&A)...")},
        {IDS_ABOUT_CAPTION, QStringLiteral("Voluni Viewerのバージョン情報")},
        {IDS_ABOUT_SYSTEM_NAME, QStringLiteral("非接触ICカード表示システム")},
        {IDS_ABOUT_PRODUCT, QStringLiteral("Voluni Viewer")},
        {IDS_ABOUT_VERSION, QStringLiteral(" Version %1")},
        {IDS_ABOUT_LINK, QStringLiteral("<a href=\"https://www.ombrel.example/voluni/\">Voluni Viewer ホームページ</a>")},
        {IDS_STATIONDB_NOT_CONNECTED, QStringLiteral("(mdb未接続)")},
        {IDS_ABOUT_OK, QStringLiteral("OK")},
        {IDS_CARDREAD_CANCEL, QStringLiteral("キャンセル")},
        {IDS_CARDREAD_OK, QStringLiteral("OK")},
        {IDS_CARD_INVALID_DATE,
         QStringLiteral("カードの履歴に正しくない日付（%1）があるため、読み込みを中止しました。")},
        {IDS_CARD_IMAGE_FAILED, QStringLiteral("カードイメージを読み込めません。\n%1")},
        {IDS_COL_DISTANCE, QStringLiteral("距離(km)")},
        {IDS_CSVOPT_CAPTION, QStringLiteral("CSV出力の設定")},
        {IDS_CSVOPT_COLUMNS, QStringLiteral("出力する列（チェックした列を上から順に出力）")},
        {IDS_CSVOPT_UP, QStringLiteral("上へ")},
        {IDS_CSVOPT_DOWN, QStringLiteral("下へ")},
        {IDS_CSVOPT_APPLY_ONLY, QStringLiteral("申請にチェックのある行だけ出力する")},
        {IDS_CSVOPT_HEADER, QStringLiteral("タイトル行を出力する")},
        {IDS_CSVOPT_ENCODING, QStringLiteral("文字コード:")},
        {IDS_CSVOPT_SJIS, QStringLiteral("Shift_JIS")},
        {IDS_CSVOPT_UTF8, QStringLiteral("UTF-8 (BOM付き)")},
        {IDS_CSVOPT_OK, QStringLiteral("OK")},
        {IDS_CSVOPT_CANCEL, QStringLiteral("キャンセル")},
        {IDS_REPORT_TITLE, QStringLiteral("交通費精算書")},
        {IDS_REPORT_PERIOD, QStringLiteral("期間: %1")},
        {IDS_REPORT_ALL_PERIOD, QStringLiteral("全期間")},
        {IDS_REPORT_IDM, QStringLiteral("カードIDm: %1")},
        {IDS_REPORT_SECTION, QStringLiteral("区間")},
        {IDS_REPORT_COMPANY, QStringLiteral("会社")},
        {IDS_REPORT_AMOUNT, QStringLiteral("金額")},
        {IDS_REPORT_ROUTE, QStringLiteral("%1 → %2")},
        {IDS_REPORT_TOTAL, QStringLiteral("合計（申請分）")},
        {IDS_REPORT_PRINT_DATE, QStringLiteral("印刷日: %1")},
        {IDS_REPORT_PAGE, QStringLiteral("%1 / %2")},
        {IDS_REPORT_UNCLAIMED_NOTE, QStringLiteral("灰色の行は申請しない利用で、合計に含みません。")},
        {IDS_REPORT_PERIOD_RANGE, QStringLiteral("%1 〜 %2")},
    };
    return table;
}

} // namespace

QString LoadResString(int id)
{
    return Table().value(id);
}

QString ResStringField(int id, int n)
{
    const QStringList fields = LoadResString(id).split(QLatin1Char('\n'));
    return n >= 0 && n < fields.size() ? fields.at(n) : QString();
}
