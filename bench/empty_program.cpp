// The baseline of the process figures: a program that starts and ends, built like the console.
int main() {
    return 0;
}
