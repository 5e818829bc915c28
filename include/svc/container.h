/* Container: a Motif manager for work areas. Children stay where they are put and keep the
 * size they ask for; the container never moves or resizes them, and its own size is what it
 * is given. */
#ifndef SVC_CONTAINER_H
#define SVC_CONTAINER_H

#include <Xm/Xm.h>

#ifdef __cplusplus
extern "C" {
#endif

extern WidgetClass containerWidgetClass;

#ifdef __cplusplus
}
#endif

#endif
