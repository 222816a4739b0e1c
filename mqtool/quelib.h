/* SPDX-License-Identifier: MIT
 * Copyright the juxkit authors.
 *
 * quelib: a thin layer over the System V message-queue calls.
 *
 * A queue is named by its System V IPC key (quekey) and used through the
 * identifier that msgget gives for it (quefd). Every operation returns -1 on
 * failure and then, unless said otherwise, leaves errno as five zero-filled
 * digits in err_code ("00002" for ENOENT). A success never touches err_code,
 * so it always holds the error of the latest recorded failure, or is empty.
 * The library prints nothing. It is single-threaded: err_code has no lock.
 *
 * err_code is a macro for the library's quelib_err_code, so that a program
 * with a global err_code of its own still links: files that do not include
 * this header keep their own err_code, and a file that includes it and
 * defines its own puts "#undef err_code" after the include and reads the
 * library's as quelib_err_code. (A plain err_code in the library would clash
 * with the program's at link time, or, weak, be replaced by it: the library
 * would then write seven bytes into whatever the program's err_code is.)
 *
 * Manual: quelib(3).
 *
 * This header compiles as C and as C++.
 */
#ifndef JUX_QUELIB_H
#define JUX_QUELIB_H

#include <stddef.h>
#include <sys/ipc.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The text bytes one message can carry. */
#define QUE_TEXT_MAX 1024

/* The message type that every program of the kit sends and takes. */
#define QUE_MSG_TYPE 96

/* The lowest key mqtool -s sends on: keys below it are left to other uses.
 * The library itself takes any key. */
#define QUE_MIN_SEND_KEY 10000

/* errno of the latest recorded failure as "%05d"; all zero until then. */
extern char quelib_err_code[7];
#define err_code quelib_err_code

/* The message record, in the System V layout: the type, then the text. */
struct quemsg {
  long type;                   /* positive on the queue */
  char msg[QUE_TEXT_MAX + 1];  /* the text, and room for a terminator */
};

/* Reads a que-id as atoi does: leading white space, an optional sign, the
 * decimal digits that follow; anything after them is ignored and text
 * without digits reads as 0. A number outside the range of key_t fails
 * with ERANGE (recorded) and leaves *quekey alone. Returns 0, or -1. */
int readquekey(const char *text, key_t *quekey);

/* Why a send refuses a que-id as its key, so that every program refuses the
 * same keys, each in its own words. */
enum quekey_refusal { QUEKEY_OK, QUEKEY_OUT_OF_RANGE, QUEKEY_BELOW_SEND };
/* Reads text as readquekey does (out of range: *quekey left alone) and says
 * whether a send takes the key (not below QUE_MIN_SEND_KEY): a quekey_refusal. */
int sendquekey(const char *text, key_t *quekey);

/* Makes the queue of quekey (permissions 0666) or attaches the existing one.
 * Clears errno first. Returns the queue identifier, or -1. */
int createque(key_t quekey);

/* Attaches the existing queue of quekey; a key without a queue fails with
 * ENOENT. Key 0 (IPC_PRIVATE) names no existing queue and fails with ENOENT
 * too, without making a private queue. Returns the identifier, or -1. */
int connectque(key_t quekey);

/* Removes the queue if the caller's real user is its creator or owner and
 * returns 0. Clears errno first. A failing status read returns -1 without
 * recording; a queue of another user is left alone and gives -1 (errno
 * EPERM) without recording; a failing removal records and gives -1. */
int disconnectque(int quefd);

/* Makes a fresh, empty queue under quekey: an existing queue of the caller's
 * is removed first, with its messages; one of another user is kept and
 * returned as it is. Returns the identifier, or -1. */
int createque_del(key_t quekey);

/* Sends size bytes of s (no terminator needed, none sent) as one message of
 * the given type; waits while the queue is full. A size above QUE_TEXT_MAX
 * fails with EINVAL and sends nothing. Returns 0, or -1. */
int sendque(int quefd, long type, const void *s, size_t size);

/* Takes the oldest message of the given type (msgrcv's meaning of type),
 * waiting for one, and copies its text to s, which has room for QUE_TEXT_MAX
 * bytes. No terminator is written. Returns the text length (0 to
 * QUE_TEXT_MAX), or -1 with s untouched. A longer message fails with E2BIG
 * and stays queued. An interrupted wait (EINTR) is not recorded. */
int recvque(int quefd, long type, void *s);

/* As recvque, but copies the type field (sizeof(long) bytes, as it lies at
 * the head of struct quemsg) followed by the text, so s needs room for
 * sizeof(long) + QUE_TEXT_MAX bytes. Returns the text length plus
 * sizeof(long), or -1 with s made an empty string. */
int recvqueH(int quefd, long type, void *s);

/* Whether a message of size text bytes would now wait for room on the queue
 * of quekey, as sendque would: 1 when it would, 0 when it would go at once,
 * -1 when there is no such queue or its status cannot be read (recorded). */
int quefull(key_t quekey, size_t size);

/* Makes a new, empty queue that only the caller's user may use (0600)
 * under a key that no queue has, drawn at random from QUE_MIN_SEND_KEY to
 * 2147483647, and stores the key in *quekey. A key that has a queue is
 * not used: another is drawn, a bounded number of times (then EEXIST).
 * Returns the queue identifier, or -1 with *quekey untouched. */
int createque_own(key_t *quekey);

#ifdef __cplusplus
}
#endif

#endif /* JUX_QUELIB_H */
