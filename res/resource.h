// Resource and control ids shared by the .rc files and the window code.
// Dialog templates come in pairs: the English one is the Japanese one + 100.
// Control ids repeat between dialogs (20100 is MIC in the main window and the
// chain list in the effect dialog); they only need to be unique per template.
#pragma once

// ---------------------------------------------------------------- templates
#define IDD_MAIN_JA 1000
#define IDD_LANGUAGE_JA 1001
#define IDD_ABOUT_JA 1004
#define IDD_SETTING_AUDIO_JA 2001
#define IDD_SETTING_REC_JA 2002
#define IDD_EFFECT_SETTING_JA 2003
#define IDD_EFFECT_SELECT_JA 2004
#define IDD_ENGLISH_OFFSET 100

// ---------------------------------------------------------------- menus and icons
#define IDR_MENU_JA 10013
#define IDR_MENU_EN 10014
#define IDI_APP 10011
#define IDI_CHILD 10012
#define IDI_EFFECT 20002
#define IDI_MIC 20003
#define IDI_PAUSE 20004
#define IDI_PLAY 20005
#define IDI_REC 20006
#define IDI_REC_PAUSE 20007
#define IDI_SPEAKER 20008
#define IDI_STOP 20009
#define IDI_VOICE_CUT 20010

// ---------------------------------------------------------------- menu commands
#define IDM_TOOLBAR 5012
#define IDM_STATUSBAR 5013
#define IDM_ABOUT 5014
#define IDM_HELP 5015
#define IDM_LANGUAGE 5017
#define IDM_EXIT 5019
#define IDM_DEVICE_SETTING 6001
#define IDM_RECORD_SETTING 6002

// ---------------------------------------------------------------- main window
#define IDC_MIC 20100
#define IDC_SPK 20101
#define IDC_VCUT 20102
#define IDC_EFX 20103
#define IDC_EFX_LABEL 20110 // hidden with its button
#define IDC_VCUT_LABEL 20111
#define IDC_SWITCH_GROUP 20112 // the frame around EFX and V.CUT
#define IDC_REC_FOLDER 20130
#define IDC_REC_NAME 20131
#define IDC_REC_STOP 20132
#define IDC_REC_START 20133
#define IDC_REC_PAUSE 20134
#define IDC_REC_TIME 20136
#define IDC_REC_DROPPED 20137 // blank until the take loses audio
#define IDC_PLAY_NAME 20160
#define IDC_PLAY_BROWSE 20161
#define IDC_PLAY_STOP 20162
#define IDC_PLAY_START 20163
#define IDC_PLAY_PAUSE 20164
#define IDC_PLAY_POS_TEXT 20166
#define IDC_PLAY_POS 20167
#define IDC_PLAY_FREQ 20168
#define IDC_PLAY_CHANNELS 20169
#define IDC_PLAY_LENGTH 20170
#define IDC_PLAY_GAIN 20171
#define IDC_PLAY_DELAY 20172
#define IDC_PLAY_DELAY_LEFT 20173
#define IDC_CAP_DEVICE 20204
#define IDC_CAP_FREQ 20205
#define IDC_CAP_CHANNELS 20206
#define IDC_MON_DEVICE 20208
#define IDC_METER 20210
#define IDC_MON_FREQ 20211
#define IDC_CAP_STATUS 20212
#define IDC_MON_STATUS 20213

// ---------------------------------------------------------------- About and language
#define IDC_ABOUT_VERSION 10101
#define IDC_ABOUT_EDITION 10130
#define IDC_LANGUAGE_LIST 10102

// ---------------------------------------------------------------- device settings
#define IDC_DRIVER 20200
#define IDC_LATENCY 20201
#define IDC_BOOST_ON 20202
#define IDC_BOOST_LEVEL 20203
#define IDC_DEV_CAPTURE 20204
#define IDC_DEV_FREQ 20205
#define IDC_DEV_CHANNELS 20206
#define IDC_DEV_BITS 20207
#define IDC_DEV_MONITOR 20208

// ---------------------------------------------------------------- recording settings
#define IDC_SAVE_FOLDER 20301
#define IDC_SAVE_BROWSE 20302
#define IDC_REC_CHANNEL 20303
#define IDC_PLAY_MODE 20304
#define IDC_USE_EFFECT 20305       // shows the EFX button
#define IDC_USE_VOICE_CANCEL 20306 // shows the V.CUT button

// ---------------------------------------------------------------- effect dialogs
#define IDC_EFFECT_LIST 20100
#define IDC_EFFECT_UP 20101
#define IDC_EFFECT_DOWN 20102
#define IDC_EFFECT_ADD 20103
#define IDC_EFFECT_DEL 20104
#define IDC_EFFECT_NAME 20105
#define IDC_EFFECT_ONOFF 20106
#define IDC_EFFECT_CLOSE 20109
#define IDC_EFFECT_GROUP0 20201 // + i, i = 0..8
#define IDC_EFFECT_LABEL0 20301
#define IDC_EFFECT_SLIDER0 20401
#define IDC_EFFECT_VALUE0 20501
#define EFFECT_GROUPS 9

#define IDC_LABEL 65535
