#ifndef SWVERSION_H
#define SWVERSION_H

// The program's version text; two copies of one version cannot run side by side.
#define Sw_VERSION "KR-2.18"

#endif
