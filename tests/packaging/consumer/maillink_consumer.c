/* A program built against an installed Maillink: it changes the library's state, runs SmInit
 * and prints SmConfig and SmError as the exported data items and the pointer functions show
 * them, which must be the same storage. */
#include <maillink.h>
#include <stdio.h>

int main(void) {
    SmConfig.RxTimeout = 1; /* SmInit rewrites every field and clears the error */
    SmError = SM_NO_ECHO;
    SmInit();
    const SmConfigRecord *config = GetSmConfigPtr();
    if (config != &SmConfig || GetSmErrorPtr() != &SmError) {
        puts("the pointer functions and the exported data are not the same storage");
        return 1;
    }
    printf("AckMode=%u RxMailExpected=%u SkipEchoCheck=%u FixedRxLength=%u "
           "EchoTimeoutPerByte=%u EeWriteDelay=%u RxTimeout=%u SmError=%d\n",
           config->AckMode, config->RxMailExpected, config->SkipEchoCheck, config->FixedRxLength,
           config->EchoTimeoutPerByte, config->EeWriteDelay, config->RxTimeout, (int)SmError);
    return 0;
}
