echo "just some text" > NOTES.TXT
