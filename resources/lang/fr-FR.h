// French (France) texts of KVEffRsc.rsc. Same TXT_ macros as en-US.h. UTF-8.
// Quotation marks cannot be written inside these texts; a backslash is written \\.
// A no-break space (U+00A0) goes before ? and :, as French typography wants,
// so that a wrapped text never starts a line with them.

// Main effects window
#define TXT_PAGE_QFX                    "Surround"
#define TXT_PAGE_ENHANCEMENT            "Amélioration"
#define TXT_PAGE_RVX                    "Réverbération"
#define TXT_PAGE_EQ                     "Égaliseur"

// Master switch
#define TXT_MASTER_LABEL                "Tous les effets"
#define TXT_MASTER_ON                   "Activé"
#define TXT_MASTER_OFF                  "Désactivé"
// Arguments: the technology now in charge of the device, then the one that gave it up.
#define TXT_MASTER_POPUP_TEXT           "%ls gère désormais les effets sonores de ce périphérique audio. Les effets fournis par %ls ont été désactivés."
#define TXT_MASTER_POPUP_CHECK          "Ne plus afficher ce message"
// The other codec vendor's edition says the same.
#define TXT_MASTER_ON_111D              TXT_MASTER_ON
#define TXT_MASTER_OFF_111D             TXT_MASTER_OFF
#define TXT_MASTER_POPUP_TEXT_111D      TXT_MASTER_POPUP_TEXT
#define TXT_MASTER_POPUP_CHECK_111D     TXT_MASTER_POPUP_CHECK

// Surround page
#define TXT_QFX_DETAIL_GROUP            "Clarté"
#define TXT_QFX_DETAIL                  "Restituer les détails perdus"
#define TXT_QFX_SURROUND_GROUP          "Surround"
#define TXT_QFX_VSUR                    "Surround virtuel"
#define TXT_QFX_STEREO_ENV              "Environnement stéréo"
#define TXT_QFX_STEREO_ENV_LEFT         "Moins"
#define TXT_QFX_STEREO_ENV_RIGHT        "Plus"
#define TXT_QFX_SURROUND_MODE           "Mode surround"
#define TXT_SURROUND_MODE_2             "Haut-parleurs avant"
#define TXT_SURROUND_MODE_4             "Haut-parleurs avant et arrière"
#define TXT_QFX_SPK_CONFIG              "Utiliser la configuration des haut-parleurs propre aux effets"

// Enhancement page
#define TXT_ENH_BASS_GROUP              "Basses"
#define TXT_ENH_BASS_BOOST              "Amplification des basses"
#define TXT_ENH_BASS_BOOST_FREQ         "Fréquence"
#define TXT_ENH_BASS_MANAGEMENT         "Gestion des basses"
#define TXT_ENH_CROSSOVER               "Fréquence de coupure"
#define TXT_ENH_SUBWOOFER_GAIN          "Gain du caisson de basses"
// Argument: the largest gain the driver offers.
#define TXT_SUBWOOFER_GAIN_FMT          "Gain du caisson de basses (+%d dB)"
#define TXT_ENH_SPEAKER_LEVEL           "Niveau des haut-parleurs"
#define TXT_ENH_VOLUME_LEVELING_GROUP   "Égalisation du volume"
#define TXT_ENH_VOLUME_LEVELING         "Équilibrer les passages forts et faibles"
#define TXT_LEVEL_UNIT                  " dB"

// Reverb page; the preset buttons show the driver's names once it has them.
#define TXT_RVX_ENVIRONMENT_GROUP       "Environnement"
#define TXT_RVX_ENVIRONMENT             "Réverbération de la pièce"
#define TXT_RVX_AMOUNT                  "Intensité"
#define TXT_RVX_PRESETS_GROUP           "Préréglages"
#define TXT_RVX_NO_PRESET               "Aucun"
#define TXT_RVX_PRESET_1                "Préréglage 1"
#define TXT_RVX_PRESET_2                "Préréglage 2"
#define TXT_RVX_PRESET_3                "Préréglage 3"
#define TXT_RVX_PRESET_4                "Préréglage 4"
#define TXT_RVX_PRESET_5                "Préréglage 5"
#define TXT_RVX_PRESET_6                "Préréglage 6"
#define TXT_RVX_PRESET_7                "Préréglage 7"
#define TXT_RVX_PRESET_8                "Préréglage 8"

// Equalizer page
#define TXT_EQ_ENABLE                   "Égaliseur"
#define TXT_EQ_SAVE                     "Enregistrer..."
#define TXT_EQ_DELETE                   "Supprimer"
#define TXT_EQ_PREAMP                   "Préampli"
#define TXT_EQ_CURVE                    "Réponse en fréquence"
#define TXT_EQ_PRESET_CUSTOM            "(Personnalisé)"
// The preset's name follows on its own line.
#define TXT_EQ_PRESET_DELETE            "Voulez-vous supprimer ce préréglage ?"

// Preset save dialog
#define TXT_PRESETSAVE_TITLE            "Enregistrer le préréglage de l'égaliseur"
#define TXT_PRESETSAVE_PROMPT           "Tapez un nom pour le nouveau préréglage, ou choisissez l'un de vos préréglages pour le remplacer :"
#define TXT_PRESETSAVE_OVERWRITE        "Vous avez déjà un préréglage portant ce nom. Voulez-vous le remplacer ?"
#define TXT_PRESETSAVE_INVALID_NAME     "Ce nom ne peut pas être utilisé. Le nom d'un préréglage doit comporter de 1 à 127 caractères et ne doit contenir ni tabulation, ni guillemets, ni aucun de ces caractères : * / : < > ? \\ |"
#define TXT_PRESETSAVE_BUILTIN_NAME     "Un préréglage intégré porte déjà ce nom. Veuillez choisir un autre nom."

// Message box
#define TXT_MSGBOX_TITLE                "Effets audio"
#define TXT_MSGBOX_DONT_SHOW            TXT_MASTER_POPUP_CHECK
#define TXT_OK                          "OK"
#define TXT_CANCEL                      "Annuler"
#define TXT_YES                         "Oui"
#define TXT_NO                          "Non"
