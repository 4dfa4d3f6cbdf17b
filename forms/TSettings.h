#pragma once

#include <QWidget>

#include <string>

class IniFile;
class Prompts;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TForm11;
class UpDownEdit;

// The settings window (object "Settings"): the communication and decoding options, kept in
// the settings file. Its controls are the live configuration: other windows read them when
// they need a value, so a change is in force at once, Apply or not, until the next
// activation reloads every control from the file. Only the two Apply buttons push values
// into the main window.
//
// Created hidden after the main window, it lives until the program ends. It is a plain
// window without a close button; a close from the window manager only hides it.
class TSettings : public QWidget {
    Q_OBJECT
public:
    TSettings(TForm11& form11, std::string iniPath, Prompts& prompts);

    // Loads the file into the controls, then the second-main rule, EncodingName and the
    // title edits. Runs once, from the constructor.
    void FormCreate();
    // At every activation: loads the file into the controls, then the title edits, the
    // second-main rule, EncodingName and the texts of the main window's language.
    void FormActivate();

    void BitBtn1Click();   // Apply, communication page
    void BitBtn2Click();   // Cancel
    void BitBtn3Click();   // Apply, titles page
    void BitBtn4Click();   // Close

    // The rules between the boxes; they run whenever a box changes state.
    void Check_xportClick();
    void Check_ethernetClick();
    void Check_tovek_serverClick();
    void Check_autopexorClick();
    void Check_autombusClick();
    void Check_MSBClick();
    void Check_LSBClick();
    void Check_secMainClick();
    void EditAddValuesChange();

    void DisableTitleEdits();
    // Enables the first UD_addValues of Edit1 .. Edit9.
    void EnableTitleEdits();

    void SettingsTextsEnglish();
    void SettingsTextsItalian();
    void SettingsTextsPolish();

    // Page 1
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;   // grave accent over the last letter of Label2, Italian only
    QLabel* Label7;   // grave accent over the last letter of Label3, Italian only
    QComboBox* Combo_com_name;
    QComboBox* Combo_com_speed;
    QComboBox* Combo_com_parity;
    QCheckBox* CB_open_port;
    QPushButton* Butt_open_port;
    QCheckBox* Check_rts;
    QCheckBox* Check_dtr;
    QLineEdit* Edit_export_separator;
    UpDownEdit* UD_retry_read;
    QLineEdit* Edit_retry_read;
    QCheckBox* Check_MSB;
    QCheckBox* Check_LSB;
    QCheckBox* Global_init;
    QCheckBox* Check_5B;
    QCheckBox* Check_xport;
    QGroupBox* GroupBox4;
    QLineEdit* Edit_lanxp_ip;
    QLineEdit* Edit_lanxp_port;
    UpDownEdit* UD_eth_timeout;
    QLineEdit* Edit_eth_timeout;
    QLineEdit* Edit_net_number;
    QCheckBox* Check_tovek_server;
    QCheckBox* Check_ethernet;
    QGroupBox* GroupBox3;
    QLineEdit* Edit_tcp_port;
    QCheckBox* Check_open_tcp;
    QCheckBox* Check_autopexor;
    QCheckBox* Check_autombus;
    QCheckBox* Check_unicode;
    QPushButton* BitBtn2;
    QPushButton* BitBtn1;

    // Page 2
    QWidget* TabSheet2;
    UpDownEdit* UD_addValues;
    QLineEdit* EditAddValues;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QLineEdit* Edit6;
    QLineEdit* Edit7;
    QLineEdit* Edit8;
    QLineEdit* Edit9;
    QCheckBox* Check_secMain;
    QLineEdit* Edit_secMain;
    QPushButton* BitBtn4;
    QPushButton* BitBtn3;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildPage1();
    void buildPage2();
    void connectRules();
    void load();
    void applyLanguageTexts();
    void placeAccents();
    // Saves the composed file; on failure shows the box on this window.
    void save(const IniFile& ini);

    TForm11& form11_;
    std::string iniPath_;
    Prompts& prompts_;
    QLineEdit* titleEdits_[9];
};
