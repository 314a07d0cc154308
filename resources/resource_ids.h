/* Resource ids of the program's face templates and fonts. Shared by the C++ code, the
   Windows resource script and the Linux embedding, so it holds preprocessor definitions
   only. */
#ifndef VORN_RESOURCES_RESOURCE_IDS_H
#define VORN_RESOURCES_RESOURCE_IDS_H

#define VORN_RESOURCE_RESIDENT_BACK 101
#define VORN_RESOURCE_RESIDENT_FRONT 102
#define VORN_RESOURCE_FOREIGNER_BACK 103
#define VORN_RESOURCE_FOREIGNER_FRONT 104
#define VORN_RESOURCE_HONGKONG_MACAU_BACK 105
#define VORN_RESOURCE_PERMIT_FRONT 106
#define VORN_RESOURCE_TAIWAN_BACK 107
#define VORN_RESOURCE_OCR_FONT 108
#define VORN_RESOURCE_CJK_FONT 109

#endif
