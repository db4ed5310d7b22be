// Byte code of the VM: a stack machine. Each instruction is one 32-bit word, the opcode in
// the low 8 bits and a signed 24-bit argument above; a few take one extra word.
#pragma once

#define SQ_OPCODES(X)                                                                     \
  X(PUSHNULL) X(PUSHTRUE) X(PUSHFALSE) X(PUSHINT) X(PUSHK)                                \
  X(LOADL) X(STOREL) X(SETL) X(LOADO) X(STOREO)                                           \
  X(POP) X(DUP) X(DUP2) X(POPTO)                                                          \
  X(GET) X(GETK) X(SET) X(SETK) X(NEWSLOT) X(DELETE)                                      \
  X(GETG) X(SETG) X(PUSHROOT) X(PUSHBASE)                                                 \
  X(ADD) X(SUB) X(MUL) X(DIV) X(MOD) X(BAND) X(BOR) X(BXOR) X(SHL) X(SHR) X(USHR)         \
  X(NEG) X(NOT) X(BNOT)                                                                   \
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
  /* fused forms produced by the compiler's peephole pass */                              \
  X(LOADL2)     /* two locals: a & 0xFFF, a >> 12 */                                      \
  X(ADDLK)      /* local (a) + constant int in the extra word */                          \
  X(SUBLK)      /* local (a) - constant int in the extra word */                          \
  /* compare two values and jump if false */                                              \
  X(LTJZ) X(LEJZ) X(GTJZ) X(GEJZ) X(EQJZ) X(NEJZ)                                         \
  X(GETLK)      /* local a, then GETK with the literal index in the extra word */         \
  X(BINK)       /* binary op (a: OP_ADD..OP_USHR), constant int right operand in the extra word */ \
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
