/*
 * Calls a standard-call function with an array of 32-bit argument words and
 * reports how far the stack pointer is from where it must be afterwards:
 * 0 when the callee removed exactly its own arguments.
 *
 *   uint64_t rowgate_test_call_words(const void* fn, const uint32_t* words,
 *                                    int count, int32_t* imbalance);
 *
 * The result registers (edx:eax, st0) are left as the callee set them, so the
 * same code serves integer, pointer, 64-bit and floating-point results.
 *
 * The same file serves ELF (Linux) and PE (Windows), where C names carry a
 * leading underscore.
 */
#if defined(_WIN32)
#define NAME(n) _##n
#else
#define NAME(n) n
#endif
    .text
    .globl NAME(rowgate_test_call_words)
    .globl NAME(rowgate_test_call_words_double)
#if !defined(_WIN32)
    .type rowgate_test_call_words, @function
    .type rowgate_test_call_words_double, @function
#endif
NAME(rowgate_test_call_words):
NAME(rowgate_test_call_words_double):
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 16(%ebp), %ecx          /* count */
    movl 12(%ebp), %edx          /* words */
    leal 0(,%ecx,4), %eax
    movl %esp, %esi
    subl %eax, %esi
    andl $-16, %esi              /* the stack at the call, 16-byte aligned */
    leal (%esi,%eax), %esp
    movl %esp, %edi              /* where the callee must leave it */
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edx,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %ecx
    subl %edi, %ecx
    movl 20(%ebp), %ebx
    movl %ecx, (%ebx)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
#if !defined(_WIN32)
    .size rowgate_test_call_words, .-rowgate_test_call_words

    .section .note.GNU-stack,"",@progbits
#endif
