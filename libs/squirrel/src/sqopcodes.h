// Byte code of the VM: a stack machine. Each instruction is one 32-bit word, the opcode in
// the low 8 bits and a signed 24-bit argument above; a few take one extra word.
#pragma once

#define SQ_FUSED_ARITH(X, FORM) X(FORM##_ADD) X(FORM##_SUB) X(FORM##_MUL) X(FORM##_DIV) X(FORM)
#define SQ_OPCODES(X)                                                                     \
  X(PUSHNULL) X(PUSHTRUE) X(PUSHFALSE) X(PUSHINT) X(PUSHK)                                \
  X(LOADL) X(STOREL) X(SETL) X(LOADO) X(STOREO)                                           \
  X(POP) X(DUP) X(DUP2) X(POPTO)                                                          \
  X(GET) X(GETK) X(SET) X(SETK) X(NEWSLOT) X(DELETE)                                      \
  X(GETG) X(SETG) X(PUSHROOT) X(PUSHBASE)                                                 \
  X(ADD) X(SUB) X(MUL) X(DIV) X(MOD) X(BAND) X(BOR) X(BXOR) X(SHL) X(SHR) X(USHR)         \
  X(NEG) X(NOT) X(BNOT)                                                                   \
  X(CONCATN)    /* the top a values as text, joined into one string */                    \
  X(EQ) X(NE) X(LT) X(LE) X(GT) X(GE) X(CMP3) X(IN) X(INSTANCEOF) X(TYPEOF) X(CLONE)      \
  X(RESUME)                                                                               \
  /* extra word: delta << 2 | value unused << 1 | postfix */                             \
  X(INCL) X(INCO) X(INCF) X(INCG)                                                         \
  X(JMP) X(JZ) X(JNZ) X(ANDJ) X(ORJ)                                                      \
  X(CALL) X(TAILCALL) X(PREPCALL) X(PREPCALLK) X(CLOSURE)                                 \
  X(NEWTABLE) X(NEWARRAY) X(APPENDA) X(NEWSLOTT)                                          \
  X(CLASS) X(NEWMEMBER)                                                                   \
  X(RETURN) X(RETURNNULL) X(YIELD) X(THROW)                                               \
  /* extra word: jump offset when done */                                                 \
  X(FOREACH)                                                                              \
  X(PUSHTRAP) X(POPTRAP)                                                                  \
  /* fused forms produced by the compiler's peephole pass; "local" args are stack slots  \
     below 2048 (a & 0xFFF), "op" an arithmetic op counted from OP_ADD */                 \
  X(LOADL2)     /* two locals: a & 0xFFF, a >> 12 */                                      \
  X(GETLL)      /* local[local], packed as LOADL2 */                                      \
  X(GETLK)      /* local.key: local a, the key's literal index in the extra word */       \
  X(PREPCALLLK) /* PREPCALLK on a local: local a, literal index in the extra word */      \
  X(SETLK)      /* local.key = top: local a, literal index (| SQ_DROP_VALUE) in the extra word */ \
  X(SETLL)      /* local[local] = top: a 1 leaves no value, the locals packed as LOADL2 in the extra word */ \
  X(PREPCALLG)  /* GETG, then 'this' (a call of a global function) */                    \
  /* fused arithmetic: one opcode for each of + - * / and a generic one for the other ops */ \
  SQ_FUSED_ARITH(X, BINK)      /* top op constant: op a, the constant's literal index in the extra word */ \
  SQ_FUSED_ARITH(X, LBINK)     /* pushes local op constant: local | op << 12, literal index in the extra word */ \
  SQ_FUSED_ARITH(X, BINL)      /* top op local: local | op << 12 */                       \
  SQ_FUSED_ARITH(X, LBINL)     /* pushes local op local: op a, the locals packed as LOADL2 in the extra word */ \
  SQ_FUSED_ARITH(X, COMPOUNDL) /* local op= top: local | op << 12 | COMPOUND_DROP (no value left) */ \
  /* compare and jump: kind (EQ NE LT LE GT GE, counted from OP_EQ) | JUMP_IF_TRUE */    \
  X(JCMP)       /* two values: kind a, the offset in the extra word */                    \
  X(JCMPLK)     /* a local and a constant: local | kind << 12; constant, offset follow */ \
  X(FORLOOPK)   /* a counted loop's round: local += step, then JCMPLK; step, constant, offset follow */ \
  X(LINE)       /* debug info: a new line starts (calls the debug hook) */

enum SQOpcode {
#define SQ_OPCODE_ENUM(name) OP_##name,
  SQ_OPCODES(SQ_OPCODE_ENUM)
#undef SQ_OPCODE_ENUM
  OP_LAST
};

#define SQ_OP(w) ((w) & 0xFF)
#define SQ_ARG(w) (((SQInt32)(w)) >> 8)
#define SQ_MAKE(op, arg) ((SQUnsignedInteger32)(op) | ((SQUnsignedInteger32)(arg) << 8))
#define SQ_ARG_MAX 0x7FFFFF
// SET, SETK and SETG with this in the argument leave no value (a statement of their own);
// literal indexes stay below it.
#define SQ_DROP_VALUE (1 << 22)
#define SQ_LITERAL_MAX SQ_DROP_VALUE
#define COMPOUND_DROP (1 << 16)
#define JUMP_IF_TRUE 8
