// English (United States) texts of KVEffRsc.rsc, the neutral fallback.
// Every language header defines the same TXT_ macros; KVEffRsc_dialogs.rc and
// KVEffRsc_strings.rc use them. UTF-8. Quotation marks cannot be written
// inside these texts; a backslash is written \\.

// Main effects window
#define TXT_PAGE_QFX                    "Surround"
#define TXT_PAGE_ENHANCEMENT            "Enhancement"
#define TXT_PAGE_RVX                    "Reverb"
#define TXT_PAGE_EQ                     "Equalizer"

// Master switch
#define TXT_MASTER_LABEL                "All effects"
#define TXT_MASTER_ON                   "On"
#define TXT_MASTER_OFF                  "Off"
// Arguments: the technology now in charge of the device, then the one that gave it up.
#define TXT_MASTER_POPUP_TEXT           "%ls now controls the sound effects of this audio device. The effects of %ls have been turned off."
#define TXT_MASTER_POPUP_CHECK          "Do not show this message again"
// The other codec vendor's edition says the same.
#define TXT_MASTER_ON_111D              TXT_MASTER_ON
#define TXT_MASTER_OFF_111D             TXT_MASTER_OFF
#define TXT_MASTER_POPUP_TEXT_111D      TXT_MASTER_POPUP_TEXT
#define TXT_MASTER_POPUP_CHECK_111D     TXT_MASTER_POPUP_CHECK

// Surround page
#define TXT_QFX_DETAIL_GROUP            "Clarity"
#define TXT_QFX_DETAIL                  "Restore lost detail"
#define TXT_QFX_SURROUND_GROUP          "Surround"
#define TXT_QFX_VSUR                    "Virtual surround"
#define TXT_QFX_STEREO_ENV              "Stereo environment"
#define TXT_QFX_STEREO_ENV_LEFT         "Less"
#define TXT_QFX_STEREO_ENV_RIGHT        "More"
#define TXT_QFX_SURROUND_MODE           "Surround mode"
#define TXT_SURROUND_MODE_2             "Front speakers"
#define TXT_SURROUND_MODE_4             "Front and rear speakers"
#define TXT_QFX_SPK_CONFIG              "Use the effect speaker configuration"

// Enhancement page
#define TXT_ENH_BASS_GROUP              "Bass"
#define TXT_ENH_BASS_BOOST              "Bass boost"
#define TXT_ENH_BASS_BOOST_FREQ         "Frequency"
#define TXT_ENH_BASS_MANAGEMENT         "Bass management"
#define TXT_ENH_CROSSOVER               "Crossover frequency"
#define TXT_ENH_SUBWOOFER_GAIN          "Subwoofer gain"
// Argument: the largest gain the driver offers.
#define TXT_SUBWOOFER_GAIN_FMT          "Subwoofer gain (+%d dB)"
#define TXT_ENH_SPEAKER_LEVEL           "Speaker level"
#define TXT_ENH_VOLUME_LEVELING_GROUP   "Volume leveling"
#define TXT_ENH_VOLUME_LEVELING         "Even out loud and quiet passages"
#define TXT_LEVEL_UNIT                  " dB"

// Reverb page; the preset buttons show the driver's names once it has them.
#define TXT_RVX_ENVIRONMENT_GROUP       "Environment"
#define TXT_RVX_ENVIRONMENT             "Room reverb"
#define TXT_RVX_AMOUNT                  "Amount"
#define TXT_RVX_PRESETS_GROUP           "Presets"
#define TXT_RVX_NO_PRESET               "None"
#define TXT_RVX_PRESET_1                "Preset 1"
#define TXT_RVX_PRESET_2                "Preset 2"
#define TXT_RVX_PRESET_3                "Preset 3"
#define TXT_RVX_PRESET_4                "Preset 4"
#define TXT_RVX_PRESET_5                "Preset 5"
#define TXT_RVX_PRESET_6                "Preset 6"
#define TXT_RVX_PRESET_7                "Preset 7"
#define TXT_RVX_PRESET_8                "Preset 8"

// Equalizer page
#define TXT_EQ_ENABLE                   "Equalizer"
#define TXT_EQ_SAVE                     "Save..."
#define TXT_EQ_DELETE                   "Delete"
#define TXT_EQ_PREAMP                   "Preamp"
#define TXT_EQ_CURVE                    "Frequency response"
#define TXT_EQ_PRESET_CUSTOM            "(Custom)"
// The preset's name follows on its own line.
#define TXT_EQ_PRESET_DELETE            "Do you want to delete this preset?"

// Preset save dialog
#define TXT_PRESETSAVE_TITLE            "Save Equalizer Preset"
#define TXT_PRESETSAVE_PROMPT           "Type a name for the new preset, or pick one of your own presets to replace it:"
#define TXT_PRESETSAVE_OVERWRITE        "You already have a preset with this name. Do you want to replace it?"
#define TXT_PRESETSAVE_INVALID_NAME     "This name cannot be used. A preset name must be 1 to 127 characters long and must not contain tabs, quotation marks or any of these characters: * / : < > ? \\ |"
#define TXT_PRESETSAVE_BUILTIN_NAME     "A built-in preset already has this name. Please choose another name."

// Message box
#define TXT_MSGBOX_TITLE                "Audio Effects"
#define TXT_MSGBOX_DONT_SHOW            TXT_MASTER_POPUP_CHECK
#define TXT_OK                          "OK"
#define TXT_CANCEL                      "Cancel"
#define TXT_YES                         "Yes"
#define TXT_NO                          "No"
