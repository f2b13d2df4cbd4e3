// German (Germany) texts of KVEffRsc.rsc. Same TXT_ macros as en-US.h. UTF-8.
// Quotation marks cannot be written inside these texts; a backslash is written \\.

// Main effects window
#define TXT_PAGE_QFX                    "Surround"
#define TXT_PAGE_ENHANCEMENT            "Klangverbesserung"
#define TXT_PAGE_RVX                    "Hall"
#define TXT_PAGE_EQ                     "Equalizer"

// Master switch
#define TXT_MASTER_LABEL                "Alle Effekte"
#define TXT_MASTER_ON                   "Ein"
#define TXT_MASTER_OFF                  "Aus"
// Arguments: the technology now in charge of the device, then the one that gave it up.
#define TXT_MASTER_POPUP_TEXT           "%ls steuert jetzt die Klangeffekte dieses Audiogeräts. Die Effekte von %ls wurden ausgeschaltet."
#define TXT_MASTER_POPUP_CHECK          "Diese Meldung nicht mehr anzeigen"
// The other codec vendor's edition says the same.
#define TXT_MASTER_ON_111D              TXT_MASTER_ON
#define TXT_MASTER_OFF_111D             TXT_MASTER_OFF
#define TXT_MASTER_POPUP_TEXT_111D      TXT_MASTER_POPUP_TEXT
#define TXT_MASTER_POPUP_CHECK_111D     TXT_MASTER_POPUP_CHECK

// Surround page
#define TXT_QFX_DETAIL_GROUP            "Klarheit"
#define TXT_QFX_DETAIL                  "Details wiederherstellen"
#define TXT_QFX_SURROUND_GROUP          "Surround"
#define TXT_QFX_VSUR                    "Virtueller Surround-Klang"
#define TXT_QFX_STEREO_ENV              "Stereoumgebung"
#define TXT_QFX_STEREO_ENV_LEFT         "Weniger"
#define TXT_QFX_STEREO_ENV_RIGHT        "Mehr"
#define TXT_QFX_SURROUND_MODE           "Surround-Modus"
#define TXT_SURROUND_MODE_2             "Vordere Lautsprecher"
#define TXT_SURROUND_MODE_4             "Vordere und hintere Lautsprecher"
#define TXT_QFX_SPK_CONFIG              "Lautsprecherkonfiguration für Effekte verwenden"

// Enhancement page
#define TXT_ENH_BASS_GROUP              "Bass"
#define TXT_ENH_BASS_BOOST              "Bassanhebung"
#define TXT_ENH_BASS_BOOST_FREQ         "Frequenz"
#define TXT_ENH_BASS_MANAGEMENT         "Bassmanagement"
#define TXT_ENH_CROSSOVER               "Trennfrequenz"
#define TXT_ENH_SUBWOOFER_GAIN          "Subwoofer-Verstärkung"
// Argument: the largest gain the driver offers.
#define TXT_SUBWOOFER_GAIN_FMT          "Subwoofer-Verstärkung (+%d dB)"
#define TXT_ENH_SPEAKER_LEVEL           "Lautsprecherpegel"
#define TXT_ENH_VOLUME_LEVELING_GROUP   "Lautstärkeausgleich"
#define TXT_ENH_VOLUME_LEVELING         "Laute und leise Passagen angleichen"
#define TXT_LEVEL_UNIT                  " dB"

// Reverb page; the preset buttons show the driver's names once it has them.
#define TXT_RVX_ENVIRONMENT_GROUP       "Umgebung"
#define TXT_RVX_ENVIRONMENT             "Raumhall"
#define TXT_RVX_AMOUNT                  "Stärke"
#define TXT_RVX_PRESETS_GROUP           "Voreinstellungen"
#define TXT_RVX_NO_PRESET               "Keine"
#define TXT_RVX_PRESET_1                "Voreinstellung 1"
#define TXT_RVX_PRESET_2                "Voreinstellung 2"
#define TXT_RVX_PRESET_3                "Voreinstellung 3"
#define TXT_RVX_PRESET_4                "Voreinstellung 4"
#define TXT_RVX_PRESET_5                "Voreinstellung 5"
#define TXT_RVX_PRESET_6                "Voreinstellung 6"
#define TXT_RVX_PRESET_7                "Voreinstellung 7"
#define TXT_RVX_PRESET_8                "Voreinstellung 8"

// Equalizer page
#define TXT_EQ_ENABLE                   "Equalizer"
#define TXT_EQ_SAVE                     "Speichern..."
#define TXT_EQ_DELETE                   "Löschen"
#define TXT_EQ_PREAMP                   "Vorverstärkung"
#define TXT_EQ_CURVE                    "Frequenzgang"
#define TXT_EQ_PRESET_CUSTOM            "(Benutzerdefiniert)"
// The preset's name follows on its own line.
#define TXT_EQ_PRESET_DELETE            "Möchten Sie diese Voreinstellung löschen?"

// Preset save dialog
#define TXT_PRESETSAVE_TITLE            "Equalizer-Voreinstellung speichern"
#define TXT_PRESETSAVE_PROMPT           "Geben Sie einen Namen für die neue Voreinstellung ein, oder wählen Sie eine Ihrer eigenen Voreinstellungen aus, um sie zu ersetzen:"
#define TXT_PRESETSAVE_OVERWRITE        "Sie haben bereits eine Voreinstellung mit diesem Namen. Möchten Sie sie ersetzen?"
#define TXT_PRESETSAVE_INVALID_NAME     "Dieser Name kann nicht verwendet werden. Der Name einer Voreinstellung muss 1 bis 127 Zeichen lang sein und darf weder Tabulatoren noch Anführungszeichen noch eines dieser Zeichen enthalten: * / : < > ? \\ |"
#define TXT_PRESETSAVE_BUILTIN_NAME     "Diesen Namen trägt bereits eine integrierte Voreinstellung. Bitte wählen Sie einen anderen Namen."

// Message box
#define TXT_MSGBOX_TITLE                "Audioeffekte"
#define TXT_MSGBOX_DONT_SHOW            TXT_MASTER_POPUP_CHECK
#define TXT_OK                          "OK"
#define TXT_CANCEL                      "Abbrechen"
#define TXT_YES                         "Ja"
#define TXT_NO                          "Nein"
