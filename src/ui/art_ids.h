/* Resource ids of the window art and the program icon. Read by the resource
   compiler as well as by C++, so it holds #define lines only. */
#ifndef KORVELLO_UI_ART_IDS_H
#define KORVELLO_UI_ART_IDS_H

#define IDI_MAINICON 1

/* A picture at the window's n-th art scale (100, 125, 150, 175, 200, 250, 300 %) is
   the id below plus n times this step: at 100 % a BITMAP, above it the packed
   pixels (RCDATA) that tools/art/make_art.py writes with their resource lines. */
#define KV_ART_SCALE_STEP 1000
/* The dark palette's picture: the id above plus this offset (packed at every scale). */
#define KV_ART_DARK_OFFSET 50

#define IDB_BACKGROUND 101
#define IDB_LOGO 102
#define IDB_BANNER 103

#define IDB_CLOSE_IDLE 111
#define IDB_CLOSE_DOWN 112
#define IDB_CLOSE_HOVER 113

#define IDB_MINIMIZE_IDLE 121
#define IDB_MINIMIZE_DOWN 122
#define IDB_MINIMIZE_HOVER 123

#define IDB_CONVERT_IDLE 131
#define IDB_CONVERT_DOWN 132
#define IDB_CONVERT_HOVER 133

#endif
