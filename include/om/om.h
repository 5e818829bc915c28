// The object manager's C interface: a tree of typed objects with values, references,
// arrays, change stamps, contexts and method notifications (the dataflow).
#pragma once

#include <cstddef>
#include <cstdint>

// An object's identity: the first word is a serial number, unique for the life of the
// process and never reused (0 = none); the second word is 1 for every live object.
// An id of a destroyed object, or one that never existed, is harmless: every call answers
// with a failure status or OMnull_obj.
struct OMobj_id {
  uint32_t serial;
  uint32_t live;
};

// An interned name token; 0 is "no name".
typedef uint32_t OMobj_name;

// Kinds an object can be declared with.
enum OMkind {
  OM_KIND_GROUP = 1,  // only sub-objects
  OM_KIND_INT,
  OM_KIND_REAL,  // double
  OM_KIND_STRING,
  OM_KIND_PTR,   // void*
  OM_KIND_FUNC,  // function pointer
  OM_KIND_REF,   // a link to another object, nothing of its own
  OM_KIND_INT_ARRAY,
  OM_KIND_REAL_ARRAY,
  OM_KIND_STR_ARRAY,
  OM_KIND_OBJ_ARRAY,  // elements are objects (often references)
};

// Element types for OMret_array_ptr / OMset_array.
enum { OM_TYPE_INT = 1, OM_TYPE_DOUBLE = 2, OM_TYPE_STRING = 3 };

// Notification mask bits handed to update methods.
enum { OM_EVENT_VAL = 0x1, OM_EVENT_DEINST = 0x4, OM_EVENT_INST = 0x8 };

// Attribute bits (OMset_obj_atts / OMget_obj_atts).
enum { OM_atts_nosave = 0x1, OM_atts_locked = 0x2 };

// Index that appends with OMset_array_val.
enum { OM_ARRAY_APPEND = -666 };

// The bound after which one flush stops and reports a notification loop.
enum { OM_MAX_NOTIFY_CALLS = 100000 };

typedef int (*OMpfi)();

extern const OMobj_id OMnull_obj;
extern OMobj_id OMroot_obj;   // root of everything
extern OMobj_id OMtempl_obj;  // templates, found by name
extern OMobj_id OMinst_obj;   // object array of instance places; element 0 is the default

// Sets up the roots; every call does it on first use, so calling it is optional.
void OMinit();

// ---- Names ---------------------------------------------------------------------------
OMobj_name OMstr_to_name(const char* text);  // 0 for null
const char* OMname_to_str(OMobj_name name);  // "" for 0 or an unknown token; never freed
int OMget_obj_name(OMobj_id id, OMobj_name* name);

// ---- Objects -------------------------------------------------------------------------
// 1 when id names a live object.
int OMvalid_obj(OMobj_id id, OMobj_id ctx, int mode);
// Makes a plain object of a kind under parent (appended last). OMnull_obj on failure.
OMobj_id OMcreate_obj(OMobj_name name, int kind, OMobj_id parent, OMobj_id ctx, int mode);
// Makes an object from the template at a path (or plain template name) under parent.
OMobj_id OMcreate_obj_from_path(const char* templatePath, const char* name, OMobj_id parent);
// Copies src with its whole subtree under parent with a new name. References into the copied
// subtree are re-aimed at the copy; others keep their targets.
OMobj_id OMcopy_obj(OMobj_id src, OMobj_name name, OMobj_id parent, OMobj_id ctx, int mode);
// Destroys id and its subtree (children first, each calling its destroy method); references
// to destroyed objects become unset and their holders are notified. 1 on success.
int OMdestroy_obj(OMobj_id id, int mode);
int OMuser_destroy_obj(OMobj_id id, int mode);
int OMget_obj_parent(OMobj_id id, OMobj_id* parent);
// Moves id (with its subtree) to the end of newParent's sub-objects; it is instanced when the
// new parent is. Refused (0) for a move into its own subtree.
int OMmove_obj(OMobj_id id, OMobj_id newParent);
// Looks up a direct sub-object; never creates. OMnull_obj when missing.
OMobj_id OMfind_subobj(OMobj_id parent, OMobj_name name, int mode);
// Dotted path below parent ("a.b.c"); a leading '.' or "<-" steps are not needed here.
OMobj_id OMfind_str_subobj(OMobj_id parent, const char* path, int mode);
int OMget_num_subobjs(OMobj_id id, int* count);
// The number of objects alive in the whole store (templates and hidden ones included): what a
// reader of untrusted files measures its work against.
unsigned OMget_live_objects();
int OMget_array_subobj(OMobj_id id, int index, OMobj_id* element, int mode);
// The index-th direct sub-object of any object, in order (0 to OMget_num_subobjs - 1).
int OMget_subobj(OMobj_id id, int index, OMobj_id* child);
int OMget_obj_atts(OMobj_id id, int* atts);
int OMset_obj_atts(OMobj_id id, int atts);
int OMclear_obj_atts(OMobj_id id, int atts);
// The declared kind (OMkind), or 0 for a dead id.
int OMget_obj_kind(OMobj_id id);
// A name unique among parent's sub-objects, built from base ("base", "base#1", ...). The
// text is written to out (at least size bytes). 1 on success.
int OMget_uniq_name(OMobj_id parent, const char* base, char* out, int size);
// Path of id relative to `from` ("a.b.c") into buf (size bytes, always terminated).
int OMret_obj_path_to(OMobj_id id, OMobj_id from, char* buf, int size);
// 1 when id is made from templ or from a template derived from it (mode is ignored).
int OMmatch_obj(OMobj_id templ, OMobj_id id, int mode);
// Closes an object's definition: an object made inside an instanced parent is instanced.
int OMclose_obj(OMobj_id id, int mode);
// Instances id and its subtree now (queues instance notifications, parents first).
int OMinstance_obj(OMobj_id id);
int OMis_instanced(OMobj_id id);

// ---- Values --------------------------------------------------------------------------
// Getters return 1 only for a value that was read; anything else means "keep your default".
// Reads follow references and convert between int, real and string.
int OMget_int_val(OMobj_id id, int* value);
int OMset_int_val(OMobj_id id, int value);
int OMget_real_val(OMobj_id id, double* value);
int OMset_real_val(OMobj_id id, double value);
int OMget_ptr_val(OMobj_id id, void** value, int mode);
int OMset_ptr_val(OMobj_id id, void* value, int mode);
int OMget_func_val(OMobj_id id, OMpfi* fn);
int OMset_func_val(OMobj_id id, OMpfi fn);
// size 0: *value gets a malloc'ed copy the caller frees; size n: fills the caller's n-byte
// buffer at *value, cut to fit and always terminated.
int OMget_str_val(OMobj_id id, char** value, int size);
int OMset_str_val(OMobj_id id, const char* value);
int OMget_name_int_val(OMobj_id parent, OMobj_name name, int* value);
int OMset_name_int_val(OMobj_id parent, OMobj_name name, int value);
int OMget_name_real_val(OMobj_id parent, OMobj_name name, double* value);
int OMset_name_real_val(OMobj_id parent, OMobj_name name, double value);
int OMget_name_str_val(OMobj_id parent, OMobj_name name, char** value, int size);
int OMset_name_str_val(OMobj_id parent, OMobj_name name, const char* value);
// 1 when the object (through references) holds a value.
int OMis_set(OMobj_id id);

// ---- References ----------------------------------------------------------------------
// The object that holds id's value: the end of a reference chain, or id itself when it holds
// a value of its own. 0 for an unset object or a reference without target.
int OMget_obj_val(OMobj_id id, OMobj_id* value);
// Like OMget_obj_val but one step only: the direct target of a reference.
int OMget_obj_pval(OMobj_id id, OMobj_id* value, int mode);
// Turns id into a reference to target; OMnull_obj clears a value or a reference.
int OMset_obj_val(OMobj_id id, OMobj_id target, int mode);
int OMset_obj_ref(OMobj_id id, OMobj_id target, int mode);
int OMlink_objs(OMobj_id id, OMobj_id target);
// Number of objects id refers to: 1 or 0 for a reference, the referring elements of an
// object array, 0 for a plain value.
int OMget_num_refs(OMobj_id id);
// Object arrays of references.
int OMadd_obj_ref(OMobj_id array, OMobj_id target, int mode);
int OMdel_obj_ref(OMobj_id array, OMobj_id target, int mode);

// ---- Arrays --------------------------------------------------------------------------
int OMget_array_size(OMobj_id id, int* size);
int OMset_array_size(OMobj_id id, int size);
// Element i of an object array (mode 0: the element itself; mode 1: the object it refers to).
int OMget_array_val(OMobj_id id, int index, OMobj_id* element, int mode);
// Sets element i of an object array to refer to target; OM_ARRAY_APPEND appends.
int OMset_array_val(OMobj_id id, int index, OMobj_id target, int mode);
int OMadd_array_val(OMobj_id id, OMobj_id target, int mode);
int OMdel_array_val(OMobj_id id, int index, int mode);
int OMget_str_array_val(OMobj_id id, int index, char** value, int size);
int OMset_str_array_val(OMobj_id id, int index, const char* value);
int OMget_int_array_val(OMobj_id id, int index, int* value);
int OMset_int_array_val(OMobj_id id, int index, int value);
int OMget_real_array_val(OMobj_id id, int index, double* value);
int OMset_real_array_val(OMobj_id id, int index, double value);
// A copy of a numeric array's data, released with ARRfree_f; *size gets the element count,
// *type the element type. Null for an unset or non-numeric array.
void* OMret_array_ptr(OMobj_id id, int mode, int* size, int* type);
// Replaces a numeric array's contents with count elements of type.
int OMset_array(OMobj_id id, int type, const void* data, int count, int mode);

// ---- Change stamps ---------------------------------------------------------------------
// Mode 0: own stamp; 2: the link's own stamp; 3: newest of own, referred and member stamps.
// -1 for a missing object.
int OMget_obj_seq(OMobj_id id, OMobj_id ctx, int mode);
// Stores a stamp without counting as a change.
int OMset_obj_seq(OMobj_id id, OMobj_id ctx, int seq);
// While id's update method runs for a change: the one object whose change (counted, so not
// a stamp stored with OMset_obj_seq) is the whole reason it runs, since it last ran; every
// stamp newer than the method's seq is that object's or that of something depending on it.
// So a method may apply just that change. OMnull_obj when several objects changed, the reason
// is not known (an instance, a run on request), or id's method is not the one running.
OMobj_id OMget_update_cause(OMobj_id id);
// While id's update method runs for a change: 1 when the change reached id only through its
// member `link`, a reference (one object outside id changed, and no member of id but `link`
// holds a reference anywhere in it). A method that reads `link` as the link alone (its own
// stamp, mode 2) then has nothing to apply: the change is something the object `link` leads to
// did. 0 otherwise (several changes, the change inside id, other references, not running).
int OMupdate_came_through(OMobj_id id, OMobj_id link);
// While id's update method runs for changes: 1 when none of them is in id's own state, that
// is, each reached id through a member reference to id's parent (a change of what its window
// leads to) or from inside a member with an update method of its own (a child window, which
// is updated for its own changes). A method that reads only id's own state and its parent's
// link then has nothing to apply. 0 otherwise (any change in id's own state or reaching it
// through another reference, an instance, a run not queued by a change, or id's method not
// running).
int OMupdate_from_around(OMobj_id id);
// While id's update method runs for changes: the one object of id's own state (as
// OMupdate_from_around tells it) whose change is among them, the others having reached id
// from around it; OMnull_obj when none, several or one not known (an instance, a run not
// queued by a change), or id's method is not the one running.
OMobj_id OMget_update_own_cause(OMobj_id id);
// The process-wide sequence number (the newest stamp given).
int OMget_seq();
// 1 when a stamp is newer than a sequence number. The counter wraps after 2^32 changes, so
// stamps are compared in serial-number arithmetic (newer when less than 2^31 changes ahead),
// never with ">". seq -1 means "everything": any stamp is newer; the stamp -1 (a missing
// object) never is. Neither 0 nor -1 is ever given as a stamp.
int OMseq_newer(int stamp, int seq);

// ---- Contexts and notification -------------------------------------------------------
// Context modes: on whose behalf the writes inside a context are made. The mode is kept for
// the journal; notification is the same for every mode. OMset_state_mode takes these codes.
enum {
  OM_CTX_BUILD = 0,   // building objects (start-up, loading a file): no action of anyone's
  OM_CTX_USER = 1,    // a user's action, journalled while journalling is on
  OM_CTX_WIDGET = 2,  // the library records what its widgets did (geometry, visibility ...)
  OM_CTX_QUIET = 4,   // never journalled: values derived for the dataflow (the handle, client
                      // sizes), and user actions while no journal runs
};
// Context flags: what the writes are about; a bit set.
enum {
  OM_CTX_PLAIN = 0,
  OM_CTX_GEOMETRY = 0x1,   // positions and sizes
  OM_CTX_EVENT = 0x2,      // pointer events, the handle's event code, windows made
  OM_CTX_STRUCTURE = 0x4,  // the tree's shape: insert positions, grouping
};
// Opens a context on id: notifications queued by writes from now on wait until the outermost
// context is popped, so dependents run once with every write seen. Contexts nest and every
// push must be paired with one OMpop_ctx; OMcontext (om/om_scope.h) pairs them for a block.
// mode and flags are the codes above; last is 0. Returns 1.
int OMpush_ctx(OMobj_id id, int mode, int flags, int last);
// Closes the innermost context; the outermost one runs what was queued (0 when that stopped a
// notification loop, or when there was no context to close, which is reported).
int OMpop_ctx(OMobj_id id);
// The number of open contexts.
int OMctx_depth();
// Runs every pending notification. Returns 1, or 0 when a notification loop was stopped.
int OMflush_notifies();
// Runs obj's pending notifications (and its ancestors' pending instancing) now; mask 8 for
// instancing, 1 for updates, 9 both.
int OMflush_notifies_mask(OMobj_id ctx, OMobj_id obj, unsigned mask, int mode);
// Queues a call of callback(obj) by the dispatcher.
int OMqueue_notify(OMobj_id obj, int (*callback)(OMobj_id), int mode);
// Tells the hooks registered with OMadd_event_hook that obj reached event (1 = ready).
int OMsend_event(OMobj_id obj, int event);
int OMadd_event_hook(void (*hook)(OMobj_id obj, int event, void* arg), void* arg);
int OMset_state_mode(int mode);
int OMget_state_mode();
int OMget_journal_style(int which);
int OMget_journal_control(int which);
void OMset_journal(int style, int control);
// Marks an object active: it now takes part in notification as its template says.
int OMactivate_obj(OMobj_id id);

// ---- Exit ----------------------------------------------------------------------------
int OMadd_exit_func(void (*fn)(void*), void* arg);
// Runs the exit functions (once, last registered first).
void OMrun_exit_funcs();
// Runs the exit functions, then ends the process with status.
[[noreturn]] void OMexit(int status);

// ---- Text definitions ----------------------------------------------------------------
// Parses "name => expression;" definitions (several allowed) in the scope of obj. The
// expression combines paths and numbers with + - * / and parentheses; "<+>" is a plain "+".
// 1 on success; a bad text is reported through ERRerror and changes nothing.
int OMparse_buffer(OMobj_id obj, const char* text, int mode);

// ---- C structures --------------------------------------------------------------------
// One field of a C structure mirrored by the sub-object `name` of an object.
// A field of type OM_CSTRUCT_STRING_ARRAY is a char** whose entry count is the int at
// countOffset in the same structure; it is written as a string array of that many entries,
// ended early by a null entry (a null array or a count below 1 writes an empty array).
enum { OM_CSTRUCT_STRING_ARRAY = 16 };
struct OMcstruct_field {
  const char* name;
  int type;                // OM_TYPE_INT (int), OM_TYPE_DOUBLE (double), OM_TYPE_STRING (char*) or
                           // OM_CSTRUCT_STRING_ARRAY (char**)
  size_t offset;           // of the field in the structure
  size_t countOffset = 0;  // string arrays only: of the int that counts the entries
};
// Writes the fields whose bit (1 << index) is set in mask from the structure into the
// object's sub-objects, all in one context so dependents are notified once. A null string
// field unsets its property. 1 when every flagged field was written.
int OMcstruct_update_om(OMobj_id id, const void* data, const OMcstruct_field* fields, int count,
                        unsigned long mask);

// ---- Paths -------------------------------------------------------------------------
// The search path of a kind (5: data files): a colon-separated list of folders.
const char* OMget_path(int kind);
void OMset_path(int kind, const char* path);
