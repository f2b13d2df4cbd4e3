// Ids shared by the plug-in's code and its resource library KVEffRsc.rsc.
// Plain #defines only: windres reads this file as well as the C++ compiler.
// The numbers are fixed; the code finds templates, controls and texts by them.
#ifndef KVEFFRSC_IDS_H
#define KVEFFRSC_IDS_H

// Labels and frames that only decorate a page.
#ifndef IDC_STATIC
#define IDC_STATIC                      (-1)
#endif

// Dialog templates
#define IDD_MAINEFFECTS_DLG             9
#define IDD_DLG_MASTER_ONOFF            10
#define IDD_DLG_QFX                     11
#define IDD_DLG_ENHANCEMENT             12
#define IDD_DLG_RVX                     13
#define IDD_DLG_EQ                      14
#define IDD_DIALOG_PRESETSAVE           21
#define IDD_DIALOG_MESSAGEBOX           22

// Main effects window (9). The two placeholders only mark where the pages go;
// the window measures and hides them.
#define IDC_PLACE_MASTER_ONOFF          1000
#define IDC_PLACE_CHILD_DLG             1001
#define IDC_BTN_PAGE_QFX                1002
#define IDC_BTN_PAGE_ENHANCEMENT        1003
#define IDC_BTN_PAGE_RVX                1004
#define IDC_BTN_PAGE_EQ                 1005

// Master switch page (10)
#define IDC_MASTER_FOCUS                1021
#define IDC_BTN_MASTER_OFF              1022
#define IDC_BTN_MASTER_ON               1023
#define IDC_STC_TECHNOLOGY              1024

// Surround page (11)
#define IDC_GRP_DETAIL                  1030
#define IDC_GRP_SURROUND                1031
#define IDC_CHK_DETAIL_RESTORE          1032
#define IDC_SLD_DETAIL_RESTORE          1033
#define IDC_CHK_VSUR                    1040
#define IDC_STC_STEREO_ENV              1041
#define IDC_SLD_STEREO_ENV              1042
#define IDC_STC_STEREO_ENV_LEFT         1043
#define IDC_STC_STEREO_ENV_RIGHT        1044
#define IDC_STC_SURROUND_MODE           1045
#define IDC_CMB_SURROUND_MODE           1046
#define IDC_CHK_SPK_CONFIG              1050

// Enhancement page (12)
#define IDC_GRP_BASS                    1060
#define IDC_CHK_BASS_BOOST              1061
#define IDC_SLD_BASS_BOOST_LEVEL        1062
#define IDC_STC_BASS_BOOST_FREQ         1063
#define IDC_SLD_BASS_BOOST_FREQ         1064
#define IDC_CHK_BASS_MANAGEMENT         1070
#define IDC_STC_CROSSOVER               1071
#define IDC_SLD_CROSSOVER               1072
#define IDC_CHK_SUBWOOFER_GAIN          1073
#define IDC_SLD_SPEAKER_LEVEL           1074
#define IDC_STC_SPEAKER_LEVEL           1075
#define IDC_CHK_VOLUME_LEVELING         1080
#define IDC_GRP_VOLUME_LEVELING         1081

// Equalizer page (14). Band b has slider IDC_SLD_EQ_BAND_0 + b and label IDC_STC_EQ_BAND_0 + b.
#define IDC_CHK_EQ_ENABLE               1103
#define IDC_CMB_EQ_PRESET               1104
#define IDC_BTN_EQ_PRESET_SAVE          1105
#define IDC_BTN_EQ_PRESET_DEL           1106
#define IDC_STC_EQ_SCALE_MIN            1107
#define IDC_STC_EQ_SCALE_MID            1108
#define IDC_STC_EQ_SCALE_MAX            1109
#define IDC_SLD_EQ_BAND_0               1110
#define IDC_SLD_EQ_BAND_1               1111
#define IDC_SLD_EQ_BAND_2               1112
#define IDC_SLD_EQ_BAND_3               1113
#define IDC_SLD_EQ_BAND_4               1114
#define IDC_SLD_EQ_BAND_5               1115
#define IDC_SLD_EQ_BAND_6               1116
#define IDC_SLD_EQ_BAND_7               1117
#define IDC_SLD_EQ_BAND_8               1118
#define IDC_SLD_EQ_BAND_9               1119
#define IDC_STC_EQ_BAND_0               1120
#define IDC_STC_EQ_BAND_1               1121
#define IDC_STC_EQ_BAND_2               1122
#define IDC_STC_EQ_BAND_3               1123
#define IDC_STC_EQ_BAND_4               1124
#define IDC_STC_EQ_BAND_5               1125
#define IDC_STC_EQ_BAND_6               1126
#define IDC_STC_EQ_BAND_7               1127
#define IDC_STC_EQ_BAND_8               1128
#define IDC_STC_EQ_BAND_9               1129
#define IDC_SLD_EQ_PREAMP               1140
#define IDC_STC_EQ_PREAMP               1141
#define IDC_STC_EQ_PREAMP_MIN           1142
#define IDC_STC_EQ_PREAMP_MAX           1143
#define IDC_STC_EQ_CURVE                1144  // owner-drawn: the combined response

// Equalizer preset save dialog (21); its confirm button is IDOK.
#define IDC_CMB_PRESET_NAME             1160
#define IDC_STC_PRESET_PROMPT           1161
#define IDC_STC_PRESET_TITLE            1162
#define IDC_BTN_PRESET_CANCEL           1163

// Message box and master pop-up (22); its buttons are IDOK, IDYES and IDNO.
#define IDC_STC_MSGBOX_TEXT             1171
#define IDC_CHK_MSGBOX                  1172

// Reverb page (13). Preset i has radio button IDC_RAD_RVX_PRESET_0 + i.
#define IDC_GRP_RVX_ENVIRONMENT         1990
#define IDC_GRP_RVX_PRESETS             1991
#define IDC_CHK_RVX_ENVIRONMENT         1992
#define IDC_SLD_RVX_ENVIRONMENT         1993
#define IDC_STC_RVX_AMOUNT              1994   // the slider's label
#define IDC_RAD_RVX_NO_PRESET           1999
#define IDC_RAD_RVX_PRESET_0            2000
#define IDC_RAD_RVX_PRESET_1            2001
#define IDC_RAD_RVX_PRESET_2            2002
#define IDC_RAD_RVX_PRESET_3            2003
#define IDC_RAD_RVX_PRESET_4            2004
#define IDC_RAD_RVX_PRESET_5            2005
#define IDC_RAD_RVX_PRESET_6            2006
#define IDC_RAD_RVX_PRESET_7            2007

// Strings
#define IDS_SURROUND_MODE_2             106   // surround mode item 0, driver mode 2
#define IDS_SURROUND_MODE_4             107   // surround mode item 1, driver mode 4
#define IDS_PRESETSAVE_TITLE            108
#define IDS_PRESETSAVE_OVERWRITE        109   // Yes/No question
#define IDS_PRESETSAVE_INVALID_NAME     110
#define IDS_PRESETSAVE_BUILTIN_NAME     111
#define IDS_PRESETSAVE_PROMPT           112
#define IDS_EQ_PRESET_DELETE            113   // followed by a blank line and the preset's name
#define IDS_EQ_PRESET_CUSTOM            116
#define IDS_LEVEL_UNIT                  117   // appended to numbers, so it starts with a space
#define IDS_SUBWOOFER_GAIN_FMT          118   // one %d: the largest gain
#define IDS_MASTER_POPUP_TEXT           300   // two %ls: the technology now in charge, then the other
#define IDS_MASTER_POPUP_CHECK          301
#define IDS_MASTER_ON                   302
#define IDS_MASTER_OFF                  303
// The same four for the codec vendor 0x111D edition.
#define IDS_MASTER_POPUP_TEXT_111D      400
#define IDS_MASTER_POPUP_CHECK_111D     401
#define IDS_MASTER_ON_111D              402
#define IDS_MASTER_OFF_111D             403

#endif // KVEFFRSC_IDS_H
