// The program's string table: every user-visible text, looked up by its number.
#pragma once

#include <QString>

enum StringId : int {
    IDS_OLE_INIT_FAILED = 100,
    IDS_ALREADY_RUNNING = 102,
    IDS_COL_BALANCE = 105,
    IDS_COL_DATE = 107,
    IDS_COL_AMOUNT = 108,
    IDS_COL_ENTRY_COMPANY = 109,
    IDS_COL_ENTRY_LINE = 110,
    IDS_COL_ENTRY_STATION = 112,
    IDS_COL_REMARKS = 113,
    IDS_COL_EXIT_COMPANY = 115,
    IDS_COL_EXIT_LINE = 116,
    IDS_COL_EXIT_STATION = 118,
    IDS_COL_APPLY = 120,
    IDS_COL_DESTINATION = 121,
    IDS_CARD_READ_FAILED = 140,
    IDS_STATIONDB_CONNECT_FAILED = 146,
    IDS_SMARTCARD_SERVICE_STOPPED = 147,
    IDS_READER_OPEN_FAILED = 150,
    IDS_PANE_GROUP_VIEW = 160,
    IDS_PANE_IDM = 161,
    IDS_PANE_BALANCE = 162,
    IDS_CARD_READING = 178,
    IDS_READER_NOT_CONNECTED = 180,
    IDS_CARD_DETECTING = 181,
    IDR_MAINFRAME = 307,
    ID_CARD_READ = 32771,
    ID_INDICATOR_IDM = 32788,
    ID_INDICATOR_BALANCE = 32789,
    ID_VIEW_GRID = 32792,
    ID_VIEW_ZEBRA = 32793,
    AFX_IDS_APP_TITLE = 57344,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    AFX_IDP_FAILED_TO_OPEN_DOC = 61697,
    AFX_IDP_FAILED_TO_SAVE_DOC = 61698,
    AFX_IDP_FAILED_INVALID_FORMAT = 61728,

    // Texts of the form, the menu and the About box.
    IDS_FORM_TOTAL_LABEL = 20001,
    IDS_FORM_TOTAL_ZERO = 20002,
    IDS_FORM_SHOW_ALL = 20003,
    IDS_AMOUNT_YEN = 20004,
    IDS_MENU_FILE = 20010,
    IDS_MENU_CARD_READ = 20011,
    IDS_MENU_EXIT = 20012,
    IDS_MENU_VIEW = 20013,
    IDS_MENU_GRID = 20014,
    IDS_MENU_ZEBRA = 20015,
    IDS_MENU_STATUS_BAR = 20016,
    IDS_MENU_HELP = 20017,
    IDS_MENU_ABOUT = 20018,
    IDS_ABOUT_CAPTION = 20020,
    IDS_ABOUT_SYSTEM_NAME = 20021,
    IDS_ABOUT_PRODUCT = 20022,
    IDS_ABOUT_VERSION = 20023,
    IDS_ABOUT_LINK = 20024,
    IDS_STATIONDB_NOT_CONNECTED = 20025,
    IDS_ABOUT_OK = 20026,
    // Texts of the card wait dialog and the card read command.
    IDS_CARDREAD_CANCEL = 20030,
    IDS_CARDREAD_OK = 20031,
    IDS_CARD_INVALID_DATE = 20032,
    IDS_CARD_IMAGE_FAILED = 20033,
};

// The text of string id, or an empty text for an id the table does not hold.
QString LoadResString(int id);

// Field n (0-based) of a text whose fields are separated by line feeds, as the
// template string and the command prompts are ("prompt\ntooltip").
QString ResStringField(int id, int n);
