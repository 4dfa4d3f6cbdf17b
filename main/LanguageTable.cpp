#include "LanguageTable.h"

// Group-box and page captions are framed by three blanks; buttons are short imperatives.
// Italian keeps to plain letters (Windows-1250 has no accented a, e, i, o, u: an accent
// label stands in where one is wanted); Polish keeps to its nine small letters, so no
// capital letter carries a diacritic.

const std::vector<CaptionRow>& ControlCaptionRows()
{
    static const std::vector<CaptionRow> rows = {
        // --- the meters page: search ---
        {{"Group_search"}, "   Search network   ", "   Scansione Rete   ", "   Przeszukaj sieć Mbus   "},
        {{"Label6"}, "By Primary address: ", "Per indirizzo primario: ", "Wg adresu pierwotnego: "},
        {{"Label7"}, "By Secondary address: ", "Per indirizzo secondario: ", "Wg adresu wtórnego: "},
        {{"Butt_find_primary"}, "Find", "Trova", "Znajdź"},
        {{"Butt_find_id"}, "Find", "Trova", "Znajdź"},
        {{"Butt_find_all"}, "Find all", "Trova tutti", "Znajdź wszystkie"},
        {{"Label8"}, "Resp. timeout", "Timeout risp.", "Czas odp."},
        // --- the meters page: configuration ---
        {{"Group_ops"}, "   Basic Config.   ", "   Config. base   ", "   Konfig. podstawowa   "},
        {{"Group_advanced"}, "   Advanced Config.   ", "   Config. avanzata   ", "   Konfig. zaawansowana   "},
        {{"Butt_reset"}, "Reset Status", "Azzera stato", "Resetuj status"},
        {{"Butt_set_address", "Butt_set_baud", "Butt_set_id", "Butt_modify_liters", "Butt_set_medium",
          "Butt_set_unit", "Butt_CMT", "Butt_CET", "Butt_MET", "Butt_tovek_nn", "Butt_apn", "Butt_phone_number",
          "Butt_tovek_manip", "Butt_tovek2_conip", "Butt_tovek2_op1", "Butt_gprs_pin", "Butt_gprs_user",
          "Butt_gprs_pass", "Butt_DDT", "Butt_OHA", "Butt_TXG", "Butt_RXG", "Butt_DPP",
          "Butt_tovek_mbus_response"},
         "Set", "Imposta", "Nadaj"},
        {{"Label13"}, "Set new baud to:", "Imposta velocita:", "Ustaw szybkość"},
        {{"Label12"}, "Set new ID to:", "Imposta nuovo ID:", "Ustaw nowe ID:"},
        {{"Label10"}, "Set value to:", "Imposta valore:", "Ustaw wartość:"},
        {{"Label33"}, "Set Primary Address to:", "Imposta indirizzo primario:", "Ustaw adres pierwotny:"},
        {{"Label34"}, "Set Medium to:", "Imposta consumo:", "Ustaw medium:"},
        {{"Label35"}, "Set Unit to:", "Imposta Unita:", "Ustaw jednostki:"},
        {{"Check_broadcast"}, "work on broadcast (0xFE)", "usa broadcast (0xFE)", "tryb rozgłoszeniowy (0xFE)"},
        // --- the meters page: reading and the table's files ---
        {{"Butt_readall"}, "Read all meters", "Leggi tutti i dispositivi", "Odczytaj wszystkie"},
        {{"Butt_readonce"}, "Read selected", "Leggi selezionato", "Odczytaj wybrany"},
        {{"Butt_clear_grid"}, "Clear table", "Cancella tabella", "Wyczyść tabelę"},
        {{"Butt_load_data"}, "Load", "Carica", "Wczytaj"},
        {{"Butt_save_data"}, "Save / Export", "Salva / Esporta", "Zapisz / Eksportuj"},
        // --- below the pages: custom commands and the log ---
        {{"Butt_command_send"}, "Send", "Invia", "Wyślij"},
        {{"Label4"}, "Send custom command", "Invia custom string", "Wyślij niestandardowy komunikat"},
        {{"BitBtn7"}, "Print log", "Stampa log", "Drukuj log"},
        {{"BitBtn6"}, "Save log", "Salva log", "Zapisz log"},
        {{"BitBtn5"}, "Clear log", "Cancella log", "Wyczyść log"},
        // --- the gateways' page ---
        {{"GroupBox1"}, "   Network related options   ", "   Opzioni di rete   ", "   Opcje sieciowe   "},
        {{"Label14"}, "Set Own IPv4", "Imposta IPv4 proprio", "Ustaw własny IPv4"},
        {{"Label3"}, "Set Netmask", "Imposta netmask", "Ustaw maskę sieci"},
        {{"Label19"}, "Set gateway IP", "Imposta IP gateway", "Ustaw IP bramy"},
        {{"Label16"}, "Set Network number", "Imposta numero di rete", "Ustaw numer sieci"},
        {{"Label18"}, "Set access point name (APN)", "Imposta nome punto di accesso (APN)",
         "Ustaw nazwę punktu dostępu (APN)"},
        {{"Label27"}, "Set phone number (0 = delete)", "Imposta numero di telefono (0 = elimina)",
         "Ustaw numer telefonu (0 = usuń)"},
        {{"Label15"}, "Manufacturer IP", "IP produttore", "IP producenta"},
        {{"Label26"}, "Control IP", "IP di controllo", "IP kontrolny"},
        {{"Label17"}, "Operator IP", "IP operatore", "IP operatora"},
        {{"Label2"}, "Set PIN code", "Imposta codice PIN", "Ustaw kod PIN"},
        {{"Label9"}, "Set GPRS user (0 = delete)", "Imposta utente GPRS (0 = elimina)",
         "Ustaw użytkownika GPRS (0 = usuń)"},
        {{"Label11"}, "Set GPRS password (0 = delete)", "Imposta password GPRS (0 = elimina)",
         "Ustaw hasło GPRS (0 = usuń)"},
        {{"GroupBox2"}, "   Other options   ", "   Altre opzioni   ", "   Inne opcje   "},
        {{"Label29"}, "Serial speed", "Velocita", "Prędkość"},
        {{"Label21"}, "Serial parity", "Parita", "Parzystość portu"},
        {{"Label25"}, "Day", "Giorno", "Dzień"},
        {{"Label30"}, "Hour", "Ora", "Godzina"},
        {{"Label31"}, "Minute", "Minuto", "Minuta"},
        {{"Label20"}, "Set Due date (dd/hh/mm)", "Imposta scadenza (gg/hh/mm)", "Ustaw termin (dd/gg/mm)"},
        {{"Label22"}, "Set number of connect retries", "Imposta numero di tentativi",
         "Ustaw liczbę prób połączenia"},
        {{"Label24"}, "Set retry timeout (0.1 - 5s)", "Imposta timeout risposta (0.1 - 5s)",
         "Set retry timeout (0.1 - 5s)"},
        {{"Label23"}, "Set Ping server timeout (1-48)", "Imposta timeout ping server (1-48)",
         "Ustaw czas pingu serwera (1-48)"},
        {{"Label28"}, "m-bus response time (0.3 - 2.5s)", "Timeout risposte M-BUS  (0.3 - 2.5s)",
         "Czas odpowiedzi M-Bus (0.3 - 2.5s)"},
        {{"Butt_gprs_info"}, "Get GPRS Info", "Leggi info GPRS", "Pobierz informacje GPRS"},
        {{"Butt_gprs_stat"}, "Get GPRS status", "Leggi stato GPRS", "Pobierz status GPRS"},
        {{"Butt_eth_date"}, "Set Date", "Imposta data", "Ustaw datę"},
        {{"Butt_eth_time"}, "Set Time", "Imposta ora", "Ustaw czas"},
        {{"Butt_eth_main"}, "Main info", "Informaz. principali", "Główne dane", "Glowne dane"},
        {{"Butt_eth_service"}, "Service info", "Informaz. servizio", "Dane serwisowe"},
        {{"Butt_eth_conn"}, "Connection", "Connessione", "Połączenie"},
        {{"Butt_eth_oper"}, "OPs info", "Informaz. operatori", "Dane operatorów"},
        {{"Butt_tovek2_test"}, "Test IP", "Prova IP", "Testuj IP"},
        // --- the display's page ---
        {{"BitBtn1"}, "Get data from m-bus devices", "Leggi dati dai dispositivi m-bus",
         "Pobierz dane z urządzeń m-bus"},
        {{"BitBtn2"}, "Import", "Importa", "Importuj"},
        {{"BitBtn10"}, "Export", "Esporta", "Eksportuj"},
        {{"Butt_pexor_read"}, "Read Data from Display", "Leggi dati dal display", "Odczytaj dane z wyświetlacza"},
        {{"Label32"}, "Set display refresh time", "Imposta intervallo agg. display",
         "Ustaw czas odświeżania wyświetlacza", "Ustaw czas odświeżania"},
        {{"Butt_pexor_refresh"}, "Set refresh time", "Imposta intervallo agg.", "Ustaw czas odświeżania"},
        {{"BitBtn11"}, "Date and Time", "Data e ora", "Data i czas"},
        {{"Butt_pexor_set"}, "Write table to the display", "Invia tabella al Display", "Zapisz tabelę w wyświetlaczu"},
        {{"Butt_pexor_delete"}, "Delete selected device/row", "Elimina dispositivo/riga selez.",
         "Usuń wybrane urządzenie/wiersz"},
        {{"BitBtn15"}, "Create sort table", "Crea tabella ordinamento", "Utwórz tabelę sortowania"},
        {{"BitBtn16"}, "Sort", "Ordina", "Sortuj"},
        {{"Check_sort_address"}, "by address", "per indirizzo", "wg adresu"},
        {{"Check_sort_user"}, "by user numb.", "per num. utente", "wg nr. użytkownika"},
        {{"Butt_pexor_delp"}, "Zero start value", "Zero start value", "Wyzeruj wartość startową"},
        {{"BitBtn18"}, "Update readings on display", "Aggiorna letture sul display",
         "Aktualizuj wskazania na wyświetlaczu"},
        {{"GroupBox3"}, "   General info   ", "   Info generali   ", "   Informacje ogólne   "},
        {{"Butt_pexor_info"}, "Get info", "Leggi info", "Pobierz informacje"},
        {{"BitBtn8"}, "Select All", "Seleziona tutto", "Zaznacz wszystkie"},
        {{"BitBtn9"}, "Deselect All", "Deseleziona tutto", "Odznacz wszystkie"},
        {{"BitBtn3"}, "Add row", "Aggiungi riga", "Dodaj wiersz"},
        {{"BitBtn4"}, "Delete row", "Elimina riga", "Usuń wiersz"},
        {{"Butt_pexor_cleartable"}, "Clear table", "Cancella tabella", "Wyczyść tabelę"},
        // --- the readings page ---
        {{"Butt_get_historical"}, "Get all memory data", "Leggi tutta la memoria", "Pobierz całą pamięć"},
        {{"BitBtn13"}, "Get only historical values", "Leggi solo valori storici", "Pobierz tylko wartości historyczne"},
        {{"BitBtn17"}, "Export", "Esporta", "Eksportuj"},
        {{"Butt_add_hist"}, "Add row", "Aggiungi riga", "Dodaj wiersz"},
        {{"Butt_delete_hist"}, "Delete row", "Elimina riga", "Usuńwiersz", "Usuń wiersz"},
        {{"Butt_clear_hist"}, "Clear table", "Cancella tabella", "Wyczyść tabelę"},
        {{"Butt_sort_hist"}, "Sort table", "Ordina tabella", "Sortui"},
        {{"Check_sort_hist_address"}, "by address", "per indirizzo", "wg adresu"},
        {{"Check_sort_hist_user"}, "by user number", "per numero utente", "wg numeru użytkownika"},
        // --- the pages ---
        {{"TabSheet1"}, "   M-bus devices   ", "   M-bus devices   ", "   M-bus devices   "},
        {{"TabSheet2"}, "   Communication devices   ", "   Comunicazione    ", "   Communication devices   "},
        {{"TabSheet3"}, "   Local display Pexor   ", "   Display Locale Pexor   ",
         "   Lokalny wyświetlacz Pexor/Zorla   "},
        {{"TabSheet4"}, "   Get Readings   ", "   Acquisisci letture   ", "   Pobierz wskazania   "},
    };
    return rows;
}

const std::vector<CaptionRow>& MenuCaptionRows()
{
    static const std::vector<CaptionRow> rows = {
        {{"File1"}, "File", "File", "Plik"},
        {{"Open1"}, "Open", "Apri", "Otwórz"},
        {{"Save1"}, "Save", "Salva", "Zapisz"},
        {{"Exit1"}, "Exit", "Esci", "Wyjście"},
        {{"Tools1"}, "Tools", "Strumenti", "Narzędzia"},
        {{"Users1"}, "Users", "Utenti", "Użytkownicy", "Uzytkownicy"},
        {{"Settings1"}, "Settings", "Impostazioni", "Ustawienia"},
        {{"Language1"}, "Language", "Lingua", "Język", "Jezyk"},
        {{"Help1"}, "Help", "Aiuto", "Pomoc"},
        {{"About1"}, "About", "Info", "O programie"},
    };
    return rows;
}

const std::vector<HeaderRow>& MeterHeaderRows()
{
    static const std::vector<HeaderRow> rows = {
        {" ID ", " ID ", "ID "},
        {"Addr. ", "Addr. ", "Addr. "},
        {"Mfr. ", "Produttore ", "Mfr. "},
        {"Value ", "Valore ", "Value "},
        {"Unit ", "Unita ", "Unit "},
        {"Medium ", "Consumo ", "Medium "},
        {"Time ", "Ora ", "Czas "},
        {"Date ", "Data ", "Datę "},
        {"Status ", "Stato ", "Status "},
        {"Model ", "Model ", "Model "},
    };
    return rows;
}

const std::vector<HeaderRow>& PexorHeaderRows()
{
    static const std::vector<HeaderRow> rows = {
        {" ID ", " ID ", "ID "},
        {"Addr. ", "Addr. ", "Addr. "},
        {"Unit ", "Unita ", "Unit "},
        {"Start Main", "Start Main", "Start Main"},
        {"Start P1, m3", "Start P1", "Start P1, m3"},
        {"Start P2, m3", "Start P2", "Start P2, m3"},
        {"Start Cooling", "Start Cooling", "Start Cooling"},
        {"Mult/Div ", "Mult/Div ", "Mult/Div "},
        {"User numb. ", "Num. utente ", "User numb. "},
        {"Free text ", "Testo ", "Dowolny tekst "},
        {"Total ", "Total ", "Total "},
        {"Total P1", "Total P1 ", "Total P1"},
        {"Total P2", "Total P2", "Total P2"},
        {"Total T4/Cool", "Total T4/Cool", "Total T4/Cool"},
    };
    return rows;
}

const std::vector<HeaderRow>& ReadingsHeaderRows()
{
    static const std::vector<HeaderRow> rows = {
        {" ID ", " ID ", "ID "},
        {"Addr. ", "Addr. ", "Addr. "},
        {"Unit ", "Unita ", "Unit "},
        {"Start ", "Start ", "Start "},
        {"Mult/Div ", "Mult/Div ", "Mult/Div "},
        {"User numb. ", "Num. utente ", "User numb. "},
        {"Free text ", "Testo ", "Dowolny tekst "},
        {"Total ", "Total ", "Total "},
        {"Total P1", "Total P1", "Total P1"},
        {"Total P2", "Total P2", "Total P2"},
        {"Jan", "Gen", "Jan"},
        {"Feb", "Feb", "Feb"},
        {"Mar", "Mar", "Mar"},
        {"Apr", "Apr", "Apr"},
        {"May", "Mag", "May"},
        {"Jun", "Giu", "Jun"},
        {"Jul", "Lug", "Jul"},
        {"Aug", "Ago", "Aug"},
        {"Sep", "Set", "Sep"},
        {"Oct", "Ott", "Oct"},
        {"Nov", "Nov", "Nov"},
        {"Dec", "Dic", "Dec"},
    };
    return rows;
}
