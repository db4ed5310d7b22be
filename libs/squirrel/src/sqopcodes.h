// Byte code of the VM: a stack machine. Each instruction is one 32-bit word, the opcode in
// the low 8 bits and a signed 24-bit argument above; a few take one extra word.
#pragma once

enum SQOpcode {
  OP_PUSHNULL, OP_PUSHTRUE, OP_PUSHFALSE, OP_PUSHINT, OP_PUSHK,
  OP_LOADL, OP_STOREL, OP_SETL, OP_LOADO, OP_STOREO,
  OP_POP, OP_DUP, OP_DUP2, OP_POPTO,
  OP_GET, OP_GETK, OP_SET, OP_SETK, OP_NEWSLOT, OP_DELETE,
  OP_GETG, OP_SETG, OP_PUSHROOT, OP_PUSHBASE,
  OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_MOD, OP_BAND, OP_BOR, OP_BXOR, OP_SHL, OP_SHR, OP_USHR,
  OP_NEG, OP_NOT, OP_BNOT,
  OP_EQ, OP_NE, OP_LT, OP_LE, OP_GT, OP_GE, OP_CMP3, OP_IN, OP_INSTANCEOF, OP_TYPEOF, OP_CLONE, OP_RESUME,
  OP_INCL, OP_INCO, OP_INCF, OP_INCG,  // extra word: delta << 1 | postfix
  OP_JMP, OP_JZ, OP_JNZ, OP_ANDJ, OP_ORJ,
  OP_CALL, OP_PREPCALL, OP_PREPCALLK, OP_CLOSURE,
  OP_NEWTABLE, OP_NEWARRAY, OP_APPENDA, OP_NEWSLOTT,
  OP_CLASS, OP_NEWMEMBER,
  OP_RETURN, OP_RETURNNULL, OP_YIELD, OP_THROW,
  OP_FOREACH,  // extra word: jump offset when done
  OP_PUSHTRAP, OP_POPTRAP,
  // fused forms produced by the compiler's peephole pass
  OP_LOADL2,     // two locals: a & 0xFFF, a >> 12
  OP_ADDLK,      // local (a) + constant int in the extra word
  OP_SUBLK,      // local (a) - constant int in the extra word
  OP_LTJZ, OP_LEJZ, OP_GTJZ, OP_GEJZ, OP_EQJZ, OP_NEJZ,  // compare two values and jump if false
  OP_GETLK,      // local a, then GETK with the literal index in the extra word
  OP_BINK,       // binary op (a: OP_ADD..OP_USHR) with a constant int right operand in the extra word
  OP_LINE,       // debug info: a new line starts (calls the debug hook)
  OP_LAST
};

#define SQ_OP(w) ((w) & 0xFF)
#define SQ_ARG(w) (((SQInt32)(w)) >> 8)
#define SQ_MAKE(op, arg) ((SQUnsignedInteger32)(op) | ((SQUnsignedInteger32)(arg) << 8))
#define SQ_ARG_MAX 0x7FFFFF
